#pragma once

#include <QByteArray>
#include <QString>

// The rules of the connection-test and debug windows that need no widgets: what a trace text
// is, the progress lines of the connection test, the trace list's limit and the send rows.
namespace telmira {

// A trace text starting with the character 1 tells that Status0 changed, 2 that Status1 did;
// any other text is a line for the trace list.
enum class TraceKind { Line, Status0Changed, Status1Changed };
TraceKind traceKind(const QString& text);

// The connection test's progress lines after a trace line: a text containing "Соединяемся с
// портом" replaces them, one containing "Получен Handle" is appended on a new line ("\r\n");
// any other leaves them.
QString progressLinesAfter(const QString& lines, const QString& trace);

// The trace list holds at most this many lines: a line arriving at a full list empties it first.
inline constexpr int kTraceListLimit = 5000;
inline bool traceListEmptiedBefore(int linesHeld) {
    return linesHeld >= kTraceListLimit;
}

// Numbers in the send rows are read as everywhere in zel: decimal, or hexadecimal after "$" or
// "0x" ("$3D", "0x3d"); a text that is no number or does not fit 32 bits is none.
// A send row's command field: its integer value, 0 when it is not a number.
int sendRowCommand(const QString& field);
// A send row's parameters field: for every blank-separated token that is an integer other than
// -1, one byte with its low eight bits, in order ("1 2" gives 1 and 2, "300" gives $2C, "$A2"
// gives $A2; "-1", "$FFFFFFFF" and "abc" are skipped).
QByteArray sendRowParameters(const QString& field);

} // namespace telmira
