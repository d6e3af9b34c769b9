#pragma once

#include "contacts/gridcompose.h"
#include "contacts/gridlayout.h"
#include "contacts/recordgridmodel.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <unordered_map>

class QMimeData;

// The record grid TDBCtrlGrid of the archive, phone-book and melody tabs: record panels in
// columns over a TRecordGridModel, each panel drawn from the layout strings the owner passes at
// creation. Only the records in view are read and composed, so a result of any size pages and
// scrolls at once. The vertical scroll bar moves record by record: its value is the top record.
//
// The owner sets the model, the colours, the minimum column width and the permissions, and
// hears of the user's actions through the signals. While the busy flag is set the grid ignores
// keys, clicks, the wheel and drag and drop.
namespace telmira::contacts {

class TDBCtrlGrid : public QAbstractScrollArea {
    Q_OBJECT

public:
    // The MIME format of a drag started in a grid: the dragged record's key as decimal text.
    static QString RecordMimeType();

    explicit TDBCtrlGrid(const QStringList& layoutStrings, QWidget* parent = nullptr);

    // The data source (not owned; the grid follows its resets). Null shows no records.
    void SetModel(TRecordGridModel* model);
    TRecordGridModel* Model() const { return model_; }

    // The minimum column width, 170 by default.
    void SetMinColumnWidth(int width);
    int MinColumnWidth() const { return minColumnWidth_; }
    // The background of the current record (and of the empty grid), $E7E9EA by default.
    void SetSelectedColor(const GridColor& color);
    const GridColor& SelectedColor() const { return selectedColor_; }
    // The background of lines without a colour of their own, the window colour by default.
    void SetGridColor(const GridColor& color);
    // Sets the Select key of layout line `line` (the owner's search) and repaints.
    void SetSelect(int line, const QString& text);
    const GridLayout& Layout() const { return layout_; }

    void SetInsertAllowed(bool allowed) { insertAllowed_ = allowed; }
    void SetDeleteAllowed(bool allowed) { deleteAllowed_ = allowed; }
    void SetBusy(bool busy) { busy_ = busy; }
    bool Busy() const { return busy_; }
    // While a new record is being inserted the band "Новый контакт" heads the grid.
    void SetInserting(bool inserting);
    bool Inserting() const { return inserting_; }
    // Lets the user drag records out of the grid (a drag of RecordMimeType()).
    void SetDragEnabled(bool enabled) { dragEnabled_ = enabled; }

    // The current record's row, -1 when there are none. Setting it scrolls it into view.
    int CurrentRow() const { return view_.current; }
    void SetCurrentRow(int row);
    // The current record's key, -1 when there are none.
    qint64 CurrentKey() const;
    // The first record in view (the scroll bar's value).
    int TopRow() const { return view_.top; }
    // The row of the panel under a point of the viewport, -1 when none.
    int RowAt(const QPoint& pos) const;
    // The panel of a record in the viewport; empty when it is not in view.
    QRect PanelRect(int row) const;
    // The records in view, top to bottom and column after column.
    std::vector<RecordPlace> Places() const;
    GridColumns Columns() const;

signals:
    // Enter or F2: toggle editing; Esc: cancel the edit.
    void EditToggled();
    void EditCancelled();
    // Insert (append false) or Ctrl+Insert (append true) while inserting is allowed.
    void InsertRequested(bool append);
    // Ctrl+Delete while deleting is allowed.
    void DeleteRequested();
    // After every grid action that moved the current record.
    void SelectionMoved(int row);
    // A mouse button went down on `row` (-1: no record); the record is already current, so a
    // right click's menu applies to it.
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos,
                   int row);
    // The wheel moved the current record by `records` (negative: up).
    void MouseWheel(int records);
    void DoubleClicked(int row);
    // A drag of `row` is starting; the owner may add formats to `data`.
    void DragBegun(int row, QMimeData* data);
    // A drag is over `row` (-1: below the records); set `accept` to take the drop. Connect
    // directly (the default for a receiver on the window thread).
    void DragOver(const QMimeData* data, int row, bool& accept);
    void Dropped(const QMimeData* data, int row);
    // After the grid drew a panel: the owner may draw over it. `painter` is in viewport
    // coordinates and clipped to `panel`.
    void PanelPainted(QPainter* painter, int row, const QRect& panel);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int count() const;
    int recordHeight(int row) const;
    RowHeightFn heightFn() const;
    GridFrame frame() const;
    int bandHeight() const;
    QRect panelArea() const;
    void resetData();
    void relayout();
    void setView(GridView view, bool userAction);
    void move(GridMove move);
    bool acceptDrag(QDropEvent* event);

    GridLayout layout_;
    QPointer<TRecordGridModel> model_;
    GridColor selectedColor_ = RecordState().selectedColor;
    GridColor gridColor_ = RecordState().gridColor;
    int minColumnWidth_ = 170;
    bool insertAllowed_ = false;
    bool deleteAllowed_ = false;
    bool busy_ = false;
    bool inserting_ = false;
    bool dragEnabled_ = false;
    GridView view_;
    int lastTop_ = 0;
    int wheelRest_ = 0;
    int pressRow_ = -1;
    QPoint pressPos_;
    // Heights of the records measured so far, by row; cleared with the data.
    mutable std::unordered_map<int, int> heights_;
};

} // namespace telmira::contacts
