#pragma once

#include "contacts/gridcompose.h"
#include "contacts/gridlayout.h"

#include <QListView>
#include <QStyledItemDelegate>

// The record grid TDBCtrlGrid: a list view in columns over a TRecordGridModel, each record
// drawn by TDBCtrlGridDelegate as its layout lines (ComposeRecord works out what goes where).
namespace telmira::contacts {

class TDBCtrlGridDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    explicit TDBCtrlGridDelegate(GridLayout layout, QObject* parent = nullptr);

    GridLayout& Layout() { return layout_; }
    void SetSelectedColor(const GridColor& color) { selectedColor_ = color; }
    const GridColor& SelectedColor() const { return selectedColor_; }
    void SetColumnWidth(int width) { columnWidth_ = width; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

    // Draws one composed record into `rect` (also used by the grid for its own panels).
    static void PaintRecord(QPainter& painter, const QRect& rect, const RecordPaint& record,
                            const QFont& font, const QPalette& palette, const GridColor& gridColor);
    // Draws picture `index` of list "1" (call types) or "2" (open/closed marks).
    static void PaintPicture(QPainter& painter, const QRect& box, const QString& list, int index);
    static TextWidthFn WidthFor(const QFont& font);

private:
    GridLayout layout_;
    GridColor selectedColor_ = GridColor::fromRgb(0xE7, 0xE9, 0xEA);
    int columnWidth_ = 170;
};

class TDBCtrlGrid : public QListView {
    Q_OBJECT

public:
    TDBCtrlGrid(const QStringList& layoutStrings, QWidget* parent = nullptr);

    TDBCtrlGridDelegate* Delegate() const { return delegate_; }
    void SetMinColumnWidth(int width);
    void SetSelectedColor(const GridColor& color);
    void SetInsertAllowed(bool allowed) { insertAllowed_ = allowed; }
    void SetDeleteAllowed(bool allowed) { deleteAllowed_ = allowed; }
    // While busy the grid ignores keys, clicks and the wheel.
    void SetBusy(bool busy) { busy_ = busy; }
    bool Busy() const { return busy_; }
    // Sets the Select key of layout line `line` (the owner's search) and repaints.
    void SetSelect(int line, const QString& text);

signals:
    void EditToggled();
    void EditCancelled();
    void InsertRequested(bool append);
    void DeleteRequested();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void updateColumns();

    TDBCtrlGridDelegate* delegate_;
    int minColumnWidth_ = 170;
    bool insertAllowed_ = false;
    bool deleteAllowed_ = false;
    bool busy_ = false;
};

} // namespace telmira::contacts
