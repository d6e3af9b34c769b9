#pragma once

#include <QString>

// The SQL texts of the data module's queries. Each keeps the parameters and results of the
// query it stands for; the differences from the texts the tables were first written for are
// only those of the engine: "||" for "+", NULL parts of a concatenation read as empty, the
// month test through strftime, UPPER registered to fold Cyrillic, and names ordered by the
// collation ZEL.
namespace telmira::contacts {

enum class NoteBookSearchForm {
    Start,        // at start: the names one by one
    SingleWord,   // after a search for one word: the same alternatives
    SeveralWords, // after a search for several words: every order of the four name fields
};

// Parameters :FilterType (0/1) and :Search. `select` is the result list ("*" or "Id").
QString NoteBookQuerySql(NoteBookSearchForm form, const QString& select);

// Parameters :FilterType (0..4), :DateFilter (0..3), :Date1, :Date2 (YYYY-MM-DD) and :Search.
QString ArchiveTableQuerySql(const QString& select);

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
