#include "contacts/queries.h"

#include "contacts/schema.h"

#include <QStringList>

#include <algorithm>
#include <array>

namespace telmira::contacts {
namespace {

const QString kNameOrder =
    QStringLiteral("ORDER BY FamilyName COLLATE ZEL, Name COLLATE ZEL, SurName COLLATE ZEL");

QString filterTypeTest() {
    return QStringLiteral("((:FilterType = 0) OR ((:FilterType = 1) AND "
                          "(ImportToPhone = :FilterType)))");
}

// The five telephone alternatives of the phone-book search.
QStringList phoneAlternatives(QueryText text) {
    QStringList out;
    for (int n = 1; n <= 5; ++n)
        out << (text == QueryText::Literal
                    ? QStringLiteral("(%1 LIKE :Search)").arg(FullPhoneSql(QString(), n))
                    : QStringLiteral("zel_like(:Search, Phone%1Country, Phone%1City, Phone%1)")
                          .arg(n));
    return out;
}

// The columns the caller matching join returns.
QString sortArchiveColumns() {
    QString columns = QStringLiteral("A.Id AS ArchiveID, B.Id AS UserID, A.CallDate, "
                                     "A.CallTime, B.MainPhone");
    for (int n = 1; n <= 5; ++n)
        columns +=
            QStringLiteral(", B.Phone%1Country, B.Phone%1City, B.Phone%1, B.Phone%1Label").arg(n);
    return columns;
}

const QString kSortArchiveOrder =
    QStringLiteral(" ORDER BY ArchiveID DESC, CallDate DESC, CallTime DESC, UserID");

// A text that holds a LIKE wildcard or is shorter than the indexed tail.
QString shortOrWild(const QString& value) {
    return QStringLiteral("(length(%1) < 4 OR %1 GLOB '*[%_]*')").arg(value);
}

QString longAndTame(const QString& value) {
    return QStringLiteral("length(%1) >= 4 AND %1 NOT GLOB '*[%_]*'").arg(value);
}

} // namespace

QString NoteBookQuerySql(NoteBookSearchForm form, const QString& select, QueryText text) {
    QStringList alternatives;
    if (form == NoteBookSearchForm::SeveralWords && text == QueryText::Fast) {
        alternatives << QStringLiteral(
            "zel_upper_like_any_order(:Search, Name, FamilyName, SurName, Nick)");
    } else if (form == NoteBookSearchForm::SeveralWords) {
        // Every order of the four name fields, Name first, then FamilyName, SurName, Nick.
        std::array<int, 4> order{0, 1, 2, 3};
        const char* names[] = {"Name", "FamilyName", "SurName", "Nick"};
        do {
            QStringList parts;
            for (int i : order)
                parts << QStringLiteral("coalesce(%1, '')").arg(QLatin1String(names[i]));
            alternatives << QStringLiteral("(UPPER(%1) LIKE :Search)").arg(parts.join(" || "));
        } while (std::next_permutation(order.begin(), order.end()));
    } else {
        alternatives << QStringLiteral("(UPPER(Name) LIKE :Search)")
                     << QStringLiteral("(UPPER(FamilyName) LIKE :Search)")
                     << QStringLiteral("(UPPER(SurName) LIKE :Search)")
                     << QStringLiteral("(UPPER(Nick) LIKE '%' || :Search)");
    }
    alternatives << phoneAlternatives(text);
    return QStringLiteral("SELECT %1 FROM NoteBook WHERE\n%2\nAND (%3)\n%4, Id")
        .arg(select, filterTypeTest(), alternatives.join(QStringLiteral("\nOR ")), kNameOrder);
}

QString ArchiveTableQuerySql(const QString& select) {
    return QStringLiteral(
               "SELECT %1 FROM Archives WHERE\n"
               "( (:FilterType = 0) OR ( (:FilterType > 0) AND (:FilterType < 4) AND "
               "(Type = :FilterType - 1) ) OR ( (:FilterType = 4) AND ((Type = 1) OR "
               "(Type = 2)) ) )\n"
               "AND ( (:DateFilter = 2) OR ( (:DateFilter = 0) AND (:Date1 = CallDate) ) OR "
               "( (:DateFilter = 1) AND (strftime('%m', :Date1) = strftime('%m', CallDate)) ) "
               "OR ( (:DateFilter = 3) AND (CallDate >= :Date1) AND (CallDate <= :Date2) ) )\n"
               "AND ( %2 LIKE :Search)\n"
               "ORDER BY CallDate DESC, CallTime DESC, Id DESC")
        .arg(select, FullArchiveSql(QString()));
}

QString ArchiveTableQuerySql(const QString& select, const ArchiveFilter& filter) {
    QStringList tests;
    switch (filter.filterType) {
    case 0:
        break;
    case 1:
    case 2:
    case 3:
        tests << QStringLiteral("Type = :FilterType - 1");
        break;
    case 4:
        tests << QStringLiteral("Type IN (1, 2)");
        break;
    default:
        tests << QStringLiteral("0"); // no type test holds
    }
    switch (filter.dateFilter) {
    case 0:
        tests << QStringLiteral("CallDate = :Date1");
        break;
    case 1:
        tests << QStringLiteral("strftime('%m', CallDate) = strftime('%m', :Date1)");
        break;
    case 2:
        break;
    case 3:
        tests << QStringLiteral("CallDate >= :Date1 AND CallDate <= :Date2");
        break;
    default:
        tests << QStringLiteral("0");
    }
    tests << QStringLiteral("zel_like(:Search, Country, Code, Phone)");
    return QStringLiteral("SELECT %1 FROM Archives WHERE %2 "
                          "ORDER BY CallDate DESC, CallTime DESC, Id DESC")
        .arg(select, tests.join(QStringLiteral(" AND ")));
}

QString SortArchiveQuerySql(bool indexed) {
    const QString columns = sortArchiveColumns();
    const QString fullA = FullArchiveSql(QStringLiteral("A"));
    if (!indexed) {
        QStringList alternatives;
        for (int n = 1; n <= 5; ++n) {
            const QString local = QStringLiteral("B.Phone%1").arg(n);
            // An empty number on either side matches nothing (a bare "%" would match all).
            alternatives << QStringLiteral("(%1 LIKE ('%' || A.Phone) AND A.Phone <> '')")
                                .arg(FullPhoneSql(QStringLiteral("B"), n))
                         << QStringLiteral("((%1 LIKE ('%' || %2)) AND (%2 IS NOT NULL) AND "
                                           "(%2 <> ''))")
                                .arg(fullA, local);
        }
        return QStringLiteral("SELECT %1 FROM Archives A, NoteBook B WHERE (A.Id >= :CurrentId) "
                              "AND (%2)%3")
            .arg(columns, alternatives.join(QStringLiteral("\nOR ")), kSortArchiveOrder);
    }
    QStringList parts;
    QStringList shortCall;
    for (int n = 1; n <= 5; ++n) {
        const QString fullB = FullPhoneSql(QStringLiteral("B"), n);
        const QString local = QStringLiteral("B.Phone%1").arg(n);
        // The contact's full number ends with the call's local part.
        parts << QStringLiteral("SELECT %1 FROM Archives A JOIN NoteBook B ON "
                                "substr(%2, -4) = substr(A.Phone, -4) WHERE A.Id >= :CurrentId "
                                "AND %3 AND %2 LIKE '%' || A.Phone")
                     .arg(columns, fullB, longAndTame(QStringLiteral("A.Phone")));
        shortCall << QStringLiteral("%1 LIKE '%' || A.Phone").arg(fullB);
        // The call's full number ends with the contact's local part.
        parts << QStringLiteral("SELECT %1 FROM Archives A JOIN NoteBook B ON "
                                "substr(%2, -4) = substr(%3, -4) WHERE A.Id >= :CurrentId "
                                "AND %4 AND %3 LIKE '%' || %2")
                     .arg(columns, local, fullA, longAndTame(local));
        parts << QStringLiteral("SELECT %1 FROM Archives A, NoteBook B WHERE A.Id >= :CurrentId "
                                "AND %2 AND %3 <> '' AND %4 LIKE '%' || %3")
                     .arg(columns, shortOrWild(local), local, fullA);
    }
    parts << QStringLiteral("SELECT %1 FROM Archives A, NoteBook B WHERE A.Id >= :CurrentId AND "
                            "A.Phone <> '' AND %2 AND (%3)")
                 .arg(columns, shortOrWild(QStringLiteral("A.Phone")),
                      shortCall.join(QStringLiteral(" OR ")));
    return parts.join(QStringLiteral("\nUNION\n")) + kSortArchiveOrder;
}

QString ExportNotebookQuerySql(const QString& select) {
    return QStringLiteral("SELECT %1 FROM NoteBook WHERE ((ImportToPhone = :FilterValue) AND "
                          "(:FilterValue = 1)) OR (:FilterValue = 0)\n%2, Nick COLLATE ZEL, Id")
        .arg(select, kNameOrder);
}

bool CanSearchNumberByTail(const QString& number) {
    return number.size() >= 4 && !number.contains(QLatin1Char('%')) &&
           !number.contains(QLatin1Char('_'));
}

QString ContactSearchByNumberQuerySql(bool indexed) {
    if (!indexed) {
        QStringList alternatives;
        for (int n = 1; n <= 5; ++n)
            alternatives
                << QStringLiteral("(%1 LIKE ('%' || :Search))").arg(FullPhoneSql(QString(), n))
                << QStringLiteral("(((:Search) LIKE ('%' || Phone%1)) AND (Phone%1 IS "
                                  "NOT NULL) AND (Phone%1 <> ''))")
                       .arg(n);
        return QStringLiteral("SELECT Id FROM NoteBook WHERE (:Search <> '') AND (%1) ORDER BY Id")
            .arg(alternatives.join(QStringLiteral("\nOR ")));
    }
    QStringList parts;
    for (int n = 1; n <= 5; ++n) {
        const QString full = FullPhoneSql(QString(), n);
        const QString local = QStringLiteral("Phone%1").arg(n);
        parts << QStringLiteral("SELECT Id FROM NoteBook WHERE substr(%1, -4) = substr(:Search, "
                                "-4) AND %1 LIKE '%' || :Search")
                     .arg(full)
              << QStringLiteral("SELECT Id FROM NoteBook WHERE substr(%1, -4) = substr(:Search, "
                                "-4) AND %2 AND :Search LIKE '%' || %1")
                     .arg(local, longAndTame(local))
              << QStringLiteral("SELECT Id FROM NoteBook WHERE %1 AND %2 <> '' AND :Search LIKE "
                                "'%' || %2")
                     .arg(shortOrWild(local), local);
    }
    return parts.join(QStringLiteral("\nUNION\n")) + QStringLiteral(" ORDER BY Id");
}

} // namespace telmira::contacts
