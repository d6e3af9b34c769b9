#include "gui/contacts/dbctrlgrid.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

namespace telmira::contacts {
namespace {

constexpr int kPicture = 16;
// Measured heights kept at most (a long scroll through a large result measures every row).
constexpr size_t kHeightCache = 50000;

QFont styled(const QFont& base, const TextStyle& style) {
    QFont font = base;
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    return font;
}

TextWidthFn widthFor(const QFont& font) {
    return [font](const QString& text, const TextStyle& style) {
        return QFontMetrics(styled(font, style)).horizontalAdvance(text);
    };
}

// Draws picture `index` of list "1" (call types) or "2" (open/closed marks) into `box`.
void paintPicture(QPainter& painter, const QRect& box, const QString& list, int index) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QPointF c = QRectF(box).center();
    if (list == QLatin1String("2")) {
        // Open ("0") and closed ("1") section marks: a triangle pointing down or right.
        QPainterPath path;
        if (index == 1) {
            path.moveTo(c.x() - 3, c.y() - 5);
            path.lineTo(c.x() + 4, c.y());
            path.lineTo(c.x() - 3, c.y() + 5);
        } else {
            path.moveTo(c.x() - 5, c.y() - 3);
            path.lineTo(c.x() + 5, c.y() - 3);
            path.lineTo(c.x(), c.y() + 4);
        }
        path.closeSubpath();
        painter.fillPath(path, QColor(0x40, 0x40, 0x40));
    } else if (list == QLatin1String("1")) {
        // Call types: outgoing, incoming, missed, answered by the machine.
        static const QColor colors[] = {QColor(0x20, 0x90, 0x30), QColor(0x20, 0x50, 0xC0),
                                        QColor(0xD0, 0x20, 0x20), QColor(0x80, 0x40, 0xA0)};
        const int kind = std::clamp(index, 0, 3);
        painter.setPen(QPen(colors[kind], 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QRectF r = QRectF(box).adjusted(3, 3, -3, -3);
        switch (kind) {
        case 0: // an arrow out of the corner
            painter.drawLine(r.bottomLeft(), r.topRight());
            painter.drawLine(r.topRight(), QPointF(r.right() - 5, r.top()));
            painter.drawLine(r.topRight(), QPointF(r.right(), r.top() + 5));
            break;
        case 1: // an arrow into the corner
            painter.drawLine(r.topRight(), r.bottomLeft());
            painter.drawLine(r.bottomLeft(), QPointF(r.left() + 5, r.bottom()));
            painter.drawLine(r.bottomLeft(), QPointF(r.left(), r.bottom() - 5));
            break;
        case 2: // a cross
            painter.drawLine(r.topLeft(), r.bottomRight());
            painter.drawLine(r.topRight(), r.bottomLeft());
            break;
        default: // a tape: two reels joined at the bottom
            painter.drawEllipse(QPointF(r.left() + 2.5, c.y()), 2.5, 2.5);
            painter.drawEllipse(QPointF(r.right() - 2.5, c.y()), 2.5, 2.5);
            painter.drawLine(QPointF(r.left() + 2.5, c.y() + 2.5),
                             QPointF(r.right() - 2.5, c.y() + 2.5));
        }
    }
    painter.restore();
}

// Draws one composed record into its panel `rect`; `recordHeight` is the record's own height
// (a panel stretched to the bottom is taller), in which a picture is centred.
void paintRecord(QPainter& painter, const QRect& rect, int recordHeight, const RecordPaint& record,
                 const QFont& font, const QPalette& palette, const GridColor& gridColor) {
    painter.save();
    painter.translate(rect.topLeft());
    const QRect panel(0, 0, rect.width(), rect.height());
    painter.setClipRect(panel);
    painter.fillRect(panel, gridColor.resolve(palette));
    const QColor textColor = palette.color(QPalette::Text);
    for (const LinePaint& line : record.lines) {
        painter.fillRect(line.band, line.background.resolve(palette));
        painter.save();
        painter.setClipRect(line.band.intersected(panel));
        const QFont lineFont = styled(font, line.style);
        painter.setFont(lineFont);
        const QFontMetrics metrics(lineFont);
        painter.setPen(textColor);
        for (const TextPiece& piece : line.pieces) {
            const QRect box(piece.x, line.band.top(), metrics.horizontalAdvance(piece.text),
                            line.band.height());
            if (piece.highlighted)
                painter.fillRect(box, line.highlightColor.resolve(palette));
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                             piece.text);
        }
        if (!line.name1.isEmpty()) {
            painter.setFont(styled(font, line.name1Style));
            painter.drawText(QRect(line.name1X, line.band.top(),
                                   std::max(0, line.band.right() - line.name1X),
                                   line.band.height()),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line.name1);
        }
        painter.restore();
    }
    if (record.picture) {
        const int y = record.picture->y < 0 ? (std::min(recordHeight, rect.height()) - kPicture) / 2
                                            : record.picture->y;
        paintPicture(painter, QRect(record.picture->x, y, kPicture, kPicture), record.picture->list,
                     record.picture->index);
    }
    if (record.focusRect) {
        painter.setPen(QPen(textColor, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(panel.adjusted(1, 1, -2, -2));
    }
    painter.restore();
}

} // namespace

QString TDBCtrlGrid::RecordMimeType() {
    return QStringLiteral("application/x-telmira-grid-record");
}

TDBCtrlGrid::TDBCtrlGrid(const QStringList& layoutStrings, QWidget* parent)
    : QAbstractScrollArea(parent), layout_(GridLayout::parse(layoutStrings)) {
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    verticalScrollBar()->setSingleStep(1);
    relayout();
}

void TDBCtrlGrid::SetModel(TRecordGridModel* model) {
    if (model_)
        disconnect(model_, nullptr, this, nullptr);
    model_ = model;
    if (model_) {
        connect(model_, &QAbstractItemModel::modelReset, this, &TDBCtrlGrid::resetData);
        connect(model_, &QAbstractItemModel::rowsInserted, this, &TDBCtrlGrid::resetData);
        connect(model_, &QAbstractItemModel::rowsRemoved, this, &TDBCtrlGrid::resetData);
        connect(model_, &QAbstractItemModel::layoutChanged, this, &TDBCtrlGrid::resetData);
        connect(model_, &QAbstractItemModel::dataChanged, this, &TDBCtrlGrid::resetData);
        connect(model_, &QObject::destroyed, this, &TDBCtrlGrid::resetData);
    }
    view_ = {0, -1};
    resetData();
}

void TDBCtrlGrid::SetMinColumnWidth(int width) {
    minColumnWidth_ = std::max(1, width);
    relayout();
}

void TDBCtrlGrid::SetSelectedColor(const GridColor& color) {
    selectedColor_ = color;
    viewport()->update();
}

void TDBCtrlGrid::SetGridColor(const GridColor& color) {
    gridColor_ = color;
    viewport()->update();
}

void TDBCtrlGrid::SetSelect(int line, const QString& text) {
    if (line >= 0 && size_t(line) < layout_.lines.size())
        layout_.lines[size_t(line)].select = text;
    viewport()->update();
}

void TDBCtrlGrid::SetInserting(bool inserting) {
    if (inserting_ == inserting)
        return;
    inserting_ = inserting;
    relayout();
}

void TDBCtrlGrid::SetCurrentRow(int row) {
    setView({view_.top, row}, false);
}

qint64 TDBCtrlGrid::CurrentKey() const {
    if (!model_ || view_.current < 0 || view_.current >= count())
        return -1;
    return model_->Result().KeyAt(view_.current);
}

int TDBCtrlGrid::count() const {
    return model_ ? model_->rowCount() : 0;
}

int TDBCtrlGrid::recordHeight(int row) const {
    if (const auto at = heights_.find(row); at != heights_.end())
        return at->second;
    if (heights_.size() >= kHeightCache)
        heights_.clear();
    const int height = RecordHeight(layout_, model_ ? model_->RecordAt(row) : Record());
    heights_.emplace(row, height);
    return height;
}

RowHeightFn TDBCtrlGrid::heightFn() const {
    return [this](int row) { return recordHeight(row); };
}

GridColumns TDBCtrlGrid::Columns() const {
    return ColumnsOf(contentsRect().width(), verticalScrollBar()->sizeHint().width(),
                     minColumnWidth_);
}

int TDBCtrlGrid::bandHeight() const {
    return inserting_ ? layout_.rowHeight() + 6 : 0;
}

QRect TDBCtrlGrid::panelArea() const {
    const QRect contents = contentsRect();
    const int width = std::max(0, contents.width() - verticalScrollBar()->sizeHint().width());
    return QRect(0, bandHeight(), width, std::max(0, contents.height() - bandHeight()));
}

GridFrame TDBCtrlGrid::frame() const {
    GridFrame f;
    f.count = count();
    f.height = panelArea().height();
    f.columns = Columns().count;
    return f;
}

std::vector<RecordPlace> TDBCtrlGrid::Places() const {
    const GridFrame f = frame();
    if (f.count == 0)
        return {};
    return PlaceRecords(view_.top, f.count, f.height, f.columns, heightFn());
}

QRect TDBCtrlGrid::PanelRect(int row) const {
    const GridColumns columns = Columns();
    const int top = panelArea().top();
    for (const RecordPlace& place : Places())
        if (place.row == row)
            return QRect(place.column * columns.width, top + place.y, columns.width, place.height);
    return {};
}

int TDBCtrlGrid::RowAt(const QPoint& pos) const {
    const GridColumns columns = Columns();
    const int top = panelArea().top();
    for (const RecordPlace& place : Places())
        if (QRect(place.column * columns.width, top + place.y, columns.width, place.height)
                .contains(pos))
            return place.row;
    return -1;
}

void TDBCtrlGrid::resetData() {
    heights_.clear();
    relayout();
}

void TDBCtrlGrid::relayout() {
    const GridFrame f = frame();
    lastTop_ = LastTop(f, heightFn());
    QScrollBar* bar = verticalScrollBar();
    bar->setRange(0, lastTop_);
    setView(view_, false);
    bar->setPageStep(std::max(1, int(Places().size())));
    viewport()->update();
}

void TDBCtrlGrid::setView(GridView view, bool userAction) {
    const GridView shown = ShowCurrent(view, frame(), lastTop_, heightFn());
    const bool moved = shown.current != view_.current;
    const bool scrolled = shown.top != view_.top;
    view_ = shown;
    if (scrolled)
        verticalScrollBar()->setValue(view_.top);
    if (moved || scrolled)
        viewport()->update();
    if (moved && userAction)
        emit SelectionMoved(view_.current);
}

void TDBCtrlGrid::move(GridMove move) {
    setView(MoveInGrid(view_, move, frame(), lastTop_, heightFn()), true);
}

void TDBCtrlGrid::scrollContentsBy(int, int) {
    const int value = verticalScrollBar()->value();
    if (value == view_.top)
        return;
    // The scroll bar moves the view only; the current record stays where it is.
    view_.top = std::clamp(value, 0, lastTop_);
    viewport()->update();
}

void TDBCtrlGrid::keyPressEvent(QKeyEvent* event) {
    if (busy_) {
        event->accept();
        return;
    }
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        emit EditToggled();
        break;
    case Qt::Key_Escape:
        emit EditCancelled();
        break;
    case Qt::Key_Insert:
        if (insertAllowed_)
            emit InsertRequested(ctrl);
        break;
    case Qt::Key_Delete:
        if (!ctrl) {
            event->ignore();
            return;
        }
        if (deleteAllowed_)
            emit DeleteRequested();
        break;
    case Qt::Key_Up:
        move(GridMove::Up);
        break;
    case Qt::Key_Down:
        move(GridMove::Down);
        break;
    case Qt::Key_Left:
        move(GridMove::Left);
        break;
    case Qt::Key_Right:
        move(GridMove::Right);
        break;
    case Qt::Key_PageUp:
        move(GridMove::PageUp);
        break;
    case Qt::Key_PageDown:
        move(GridMove::PageDown);
        break;
    case Qt::Key_Home:
        move(GridMove::Home);
        break;
    case Qt::Key_End:
        move(GridMove::End);
        break;
    default:
        event->ignore();
        return;
    }
    event->accept();
}

void TDBCtrlGrid::mousePressEvent(QMouseEvent* event) {
    event->accept();
    if (busy_)
        return;
    setFocus(Qt::MouseFocusReason);
    const QPoint pos = event->position().toPoint();
    const int row = RowAt(pos);
    if (row >= 0)
        setView({view_.top, row}, true);
    pressRow_ = event->button() == Qt::LeftButton ? row : -1;
    pressPos_ = pos;
    emit MouseDown(event->button(), event->modifiers(), pos, row);
}

void TDBCtrlGrid::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    if (busy_ || !dragEnabled_ || pressRow_ < 0 || !event->buttons().testFlag(Qt::LeftButton))
        return;
    if ((event->position().toPoint() - pressPos_).manhattanLength() <
        QApplication::startDragDistance())
        return;
    const int row = pressRow_;
    pressRow_ = -1;
    if (!model_ || row >= count())
        return;
    auto* data = new QMimeData;
    data->setData(RecordMimeType(), QByteArray::number(model_->Result().KeyAt(row)));
    emit DragBegun(row, data);
    auto* drag = new QDrag(this); // Qt deletes it when the drag is over
    drag->setMimeData(data);
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
}

void TDBCtrlGrid::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    pressRow_ = -1;
}

void TDBCtrlGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (busy_)
        return;
    const int row = RowAt(event->position().toPoint());
    if (row >= 0)
        setView({view_.top, row}, true);
    emit DoubleClicked(row);
}

void TDBCtrlGrid::wheelEvent(QWheelEvent* event) {
    event->accept();
    if (busy_ || count() == 0)
        return;
    // One record per wheel step of 120; a fine-grained wheel adds up to a step.
    wheelRest_ += event->angleDelta().y();
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    if (steps == 0)
        return;
    const int before = view_.current;
    for (int i = 0; i < std::abs(steps); ++i)
        move(steps > 0 ? GridMove::Up : GridMove::Down);
    if (view_.current != before)
        emit MouseWheel(view_.current - before);
}

bool TDBCtrlGrid::acceptDrag(QDropEvent* event) {
    bool accept = false;
    if (!busy_)
        emit DragOver(event->mimeData(), RowAt(event->position().toPoint()), accept);
    if (accept)
        event->acceptProposedAction();
    else
        event->ignore();
    return accept;
}

void TDBCtrlGrid::dragEnterEvent(QDragEnterEvent* event) {
    acceptDrag(event);
}

void TDBCtrlGrid::dragMoveEvent(QDragMoveEvent* event) {
    acceptDrag(event);
}

void TDBCtrlGrid::dropEvent(QDropEvent* event) {
    if (!acceptDrag(event))
        return;
    emit Dropped(event->mimeData(), RowAt(event->position().toPoint()));
}

void TDBCtrlGrid::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void TDBCtrlGrid::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

void TDBCtrlGrid::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void TDBCtrlGrid::paintEvent(QPaintEvent*) {
    QPainter painter(viewport());
    const QPalette& pal = palette();
    const QRect area = panelArea();
    painter.fillRect(viewport()->rect(), gridColor_.resolve(pal));
    if (inserting_) {
        const QRect band(0, 0, area.width(), bandHeight());
        painter.fillRect(band, selectedColor_.resolve(pal));
        QFont bold = font();
        bold.setBold(true);
        painter.setFont(bold);
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(band.adjusted(6, 0, -6, 0), Qt::AlignLeft | Qt::AlignVCenter,
                         NewContactText());
        painter.setFont(font());
    }
    if (count() == 0) {
        painter.fillRect(area, selectedColor_.resolve(pal));
        painter.setPen(pal.color(QPalette::Text));
        painter.drawText(area, Qt::AlignCenter, NoRecordsText());
        return;
    }
    const GridColumns columns = Columns();
    RecordState state;
    state.focused = hasFocus();
    state.panelWidth = columns.width;
    state.selectedColor = selectedColor_;
    state.gridColor = gridColor_;
    const TextWidthFn width = widthFor(font());
    for (const RecordPlace& place : Places()) {
        const QRect panel(place.column * columns.width, area.top() + place.y, columns.width,
                          place.height);
        state.current = place.row == view_.current;
        const RecordPaint record =
            ComposeRecord(layout_, model_->RecordAt(place.row), state, width);
        paintRecord(painter, panel, recordHeight(place.row), record, font(), pal, gridColor_);
        painter.save();
        painter.setClipRect(panel);
        emit PanelPainted(&painter, place.row, panel);
        painter.restore();
    }
}

} // namespace telmira::contacts
