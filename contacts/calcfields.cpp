#include "contacts/calcfields.h"

#include "contacts/codedirectory.h"
#include "contacts/numbers.h"

#include <QLocale>

namespace telmira::contacts {
namespace {

QString text(const Record& record, const QString& field) {
    return record.value(field).toString();
}

QString cut(const QString& value, int width) {
    return value.size() > width ? value.left(width) : value;
}

QDate dateOf(const Record& record, const QString& field) {
    return record.value(field).toDate();
}

QTime timeOf(const Record& record, const QString& field) {
    return record.value(field).toTime();
}

QString timeText(const QTime& time) {
    return time.isValid() ? time.toString(QStringLiteral("H:mm:ss")) : QString();
}

// "Имя"n of the archive: family name, " " name, " " patronymic, " (" nickname ")".
QString candidateName(const Record& record, int n) {
    const QString suffix = QString::number(n);
    QString out = text(record, QStringLiteral("LookFamilyName") + suffix);
    const QString name = text(record, QStringLiteral("LookName") + suffix);
    const QString surName = text(record, QStringLiteral("LookSurName") + suffix);
    const QString nick = text(record, QStringLiteral("LookNick") + suffix);
    if (!IsBlank(name))
        out += QLatin1Char(' ') + name;
    if (!IsBlank(surName))
        out += QLatin1Char(' ') + surName;
    if (!IsBlank(nick))
        out += QStringLiteral(" (") + nick + QLatin1Char(')');
    qsizetype lead = 0;
    while (lead < out.size() && out[lead] == QLatin1Char(' '))
        ++lead;
    return cut(out.mid(lead), 100);
}

} // namespace

ArchiveCallState::~ArchiveCallState() = default;

int ArchiveCallState::MessageNumber(const QString&, const QDate&, const QTime&,
                                    const QTime&) const {
    return -1;
}

bool ArchiveCallState::IsNew(qint64, int) const {
    return false;
}

QString ContactDisplayName(const QString& familyName, const QString& name, const QString& surName,
                           const QString& nick) {
    QString out;
    if (!IsBlank(familyName))
        out += familyName + QLatin1Char(' ');
    if (!IsBlank(name))
        out += name + QLatin1Char(' ');
    out += surName;
    if (IsBlank(out))
        out = nick;
    return cut(out, 32);
}

void AddNoteBookFields(Record& record) {
    const QString name = ContactDisplayName(
        text(record, QStringLiteral("FamilyName")), text(record, QStringLiteral("Name")),
        text(record, QStringLiteral("SurName")), text(record, QStringLiteral("Nick")));
    const QString nick = text(record, QStringLiteral("Nick"));
    const bool nameIsNick =
        IsBlank(text(record, QStringLiteral("FamilyName")) + text(record, QStringLiteral("Name")) +
                text(record, QStringLiteral("SurName")));
    record.insert(QStringLiteral("Имя"), name);
    record.insert(QStringLiteral("Ник"), nameIsNick ? QString() : cut(nick, 32));
    for (int n = 1; n <= 5; ++n) {
        const QString p = QStringLiteral("Phone%1").arg(n);
        record.insert(
            p + QStringLiteral("Full"),
            cut(NumberDisplayText(text(record, p + QStringLiteral("Country")),
                                  text(record, p + QStringLiteral("City")), text(record, p)),
                100));
    }
}

void AddArchiveFields(Record& record, const TCodeDirectory* directory,
                      const ArchiveCallState& state) {
    const QString country = text(record, QStringLiteral("Country"));
    const QString code = text(record, QStringLiteral("Code"));
    const QString phone = text(record, QStringLiteral("Phone"));
    const int type = record.value(QStringLiteral("Type")).toInt();
    const QDate date = dateOf(record, QStringLiteral("CallDate"));
    const QTime time = timeOf(record, QStringLiteral("CallTime"));
    const QTime length = timeOf(record, QStringLiteral("Length"));

    const QString number = cut(ArchiveNumberText(country, code, phone), 100);
    record.insert(QStringLiteral("Телефон"), number);

    QString when = QStringLiteral("—  дата: ") + QLocale().toString(date, QLocale::ShortFormat) +
                   QStringLiteral(", время: ") + timeText(time);
    if (type != 2)
        when += QStringLiteral(", длительность: ") + timeText(length);
    if (!IsBlank(country + code)) {
        QString place;
        if (!IsBlank(country) && directory)
            place = directory->CountryName(country);
        if (!IsBlank(code) && directory)
            place += QStringLiteral(", ") + directory->CityName(country, code, phone);
        when += QStringLiteral(" (") + place + QLatin1Char(')');
    }
    record.insert(QStringLiteral("ДатаВремя"), cut(when, 200));

    bool anyName = false;
    for (int n = 1; n <= 5; ++n) {
        const QString name = candidateName(record, n);
        anyName = anyName || !IsBlank(name);
        record.insert(QStringLiteral("Имя%1").arg(n), name);
        record.insert(QStringLiteral("Имя") + QString::number(n) + QLatin1Char('1'),
                      text(record, QStringLiteral("Phone%1").arg(n)).trimmed());
    }
    if (number == QString::fromUtf16(kNoNumberText))
        record.insert(QStringLiteral("Имя1"), QStringLiteral("(Номер не определен)"));
    else if (!anyName)
        record.insert(QStringLiteral("Имя1"), QStringLiteral("(Неизвестный номер)"));

    const int message = state.MessageNumber(country + code + phone, date, time, length);
    record.insert(QStringLiteral("CalculatedType"), message >= 0 ? 3 : type);
    record.insert(QStringLiteral("Auto"), message >= 0 ? message : 0);
    record.insert(QStringLiteral("Checked"),
                  state.IsNew(record.value(QStringLiteral("Id")).toLongLong(), type));
}

void AddMelodyFields(Record& record) {
    const QString name = text(record, QStringLiteral("Name"));
    const bool section = record.value(QStringLiteral("Type")).toInt() == 4;
    record.insert(QStringLiteral("Имя"), cut(section ? name
                                                     : text(record, QStringLiteral("Position")) +
                                                           QStringLiteral(" - ") + name,
                                             100));
}

} // namespace telmira::contacts
