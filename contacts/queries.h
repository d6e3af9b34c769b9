#pragma once

#include <QDate>
#include <QString>

// The SQL texts of the data module's queries. Each keeps the parameters and results of the
// query it stands for. The literal texts differ from the ones the tables were first written for
// only as the engine requires: "||" for "+", NULL parts of a concatenation read as empty, the
// month test through strftime, UPPER registered to fold Cyrillic, names ordered by the
// collation ZEL. The texts the module runs return the same rows faster: a concatenation tested
// with LIKE goes to zel_like, the 24 name orders to zel_upper_like_any_order, and the archive
// filter keeps only the tests its parameter values select, so that its indexes serve it.
namespace telmira::contacts {

enum class QueryText { Fast, Literal };

// Parameters of ArchiveTableQuery: FilterType 0 all, 1..3 type 0..2, 4 incoming and missed;
// DateFilter 0 the day Date1, 1 the month of Date1 (any year), 2 all, 3 Date1..Date2.
struct ArchiveFilter {
    int filterType = 0;
    int dateFilter = 2;
    QDate date1;
    QDate date2;
    QString search = QStringLiteral("%");
};

enum class NoteBookSearchForm {
    Start,        // at start: the names one by one
    SingleWord,   // after a search for one word: the same alternatives
    SeveralWords, // after a search for several words: every order of the four name fields
};

// Parameters :FilterType (0/1) and :Search. `select` is the result list ("*" or "Id").
QString NoteBookQuerySql(NoteBookSearchForm form, const QString& select,
                         QueryText text = QueryText::Fast);

// Parameters :FilterType (0..4), :DateFilter (0..3), :Date1, :Date2 (YYYY-MM-DD) and :Search.
// The literal text tests every parameter in SQL; the fast one is made for the values of
// `filter` and must be run with them.
QString ArchiveTableQuerySql(const QString& select);
QString ArchiveTableQuerySql(const QString& select, const ArchiveFilter& filter);

// Parameter :CurrentId. `indexed` gives the text that finds the same rows through the
// number-tail indexes; the plain text compares every call with every contact.
QString SortArchiveQuerySql(bool indexed);

// Parameter :FilterValue (0/1).
QString ExportNotebookQuerySql(const QString& select);

// Parameter :Search, the caller's full number. `indexed` needs a number of at least four
// characters without LIKE wildcards; the result is the list of matching Ids.
QString ContactSearchByNumberQuerySql(bool indexed);

// True when the indexed text of ContactSearchByNumberQuerySql may be used for this number.
bool CanSearchNumberByTail(const QString& number);

} // namespace telmira::contacts
