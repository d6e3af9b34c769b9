#include "gui/contacts/dbctrlgrid.h"

#include "contacts/recordgridmodel.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>

namespace telmira::contacts {
namespace {

QFont styled(const QFont& base, const TextStyle& style) {
    QFont font = base;
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    return font;
}

constexpr int kPicture = 16;

} // namespace

TDBCtrlGridDelegate::TDBCtrlGridDelegate(GridLayout layout, QObject* parent)
    : QStyledItemDelegate(parent), layout_(std::move(layout)) {}

TextWidthFn TDBCtrlGridDelegate::WidthFor(const QFont& font) {
    return [font](const QString& text, const TextStyle& style) {
        return QFontMetrics(styled(font, style)).horizontalAdvance(text);
    };
}

QSize TDBCtrlGridDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex& index) const {
    const Record record = index.data(TRecordGridModel::RecordRole).toMap();
    return QSize(columnWidth_, RecordHeight(layout_, record));
}

void TDBCtrlGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    const Record record = index.data(TRecordGridModel::RecordRole).toMap();
    RecordState state;
    state.current = option.state.testFlag(QStyle::State_Selected);
    state.focused = option.state.testFlag(QStyle::State_HasFocus);
    state.panelWidth = option.rect.width();
    state.selectedColor = selectedColor_;
    const RecordPaint composed = ComposeRecord(layout_, record, state, WidthFor(option.font));
    PaintRecord(*painter, option.rect, composed, option.font, option.palette, state.gridColor);
}

void TDBCtrlGridDelegate::PaintRecord(QPainter& painter, const QRect& rect,
                                      const RecordPaint& record, const QFont& font,
                                      const QPalette& palette, const GridColor& gridColor) {
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
        const QFont font1 = styled(font, line.style);
        painter.setFont(font1);
        const QFontMetrics metrics(font1);
        for (const TextPiece& piece : line.pieces) {
            const QRect box(piece.x, line.band.top(), metrics.horizontalAdvance(piece.text),
                            line.band.height());
            if (piece.highlighted)
                painter.fillRect(box, line.highlightColor.resolve(palette));
            painter.setPen(textColor);
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
        const int y = record.picture->y < 0 ? (rect.height() - kPicture) / 2 : record.picture->y;
        PaintPicture(painter, QRect(record.picture->x, y, kPicture, kPicture), record.picture->list,
                     record.picture->index);
    }
    if (record.focusRect) {
        painter.setPen(QPen(palette.color(QPalette::Text), 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(panel.adjusted(1, 1, -2, -2));
    }
    painter.restore();
}

void TDBCtrlGridDelegate::PaintPicture(QPainter& painter, const QRect& box, const QString& list,
                                       int index) {
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
        const QColor color = colors[std::clamp(index, 0, 3)];
        painter.setPen(QPen(color, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        const QRectF r = QRectF(box).adjusted(3, 3, -3, -3);
        switch (std::clamp(index, 0, 3)) {
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

// ---- the grid

TDBCtrlGrid::TDBCtrlGrid(const QStringList& layoutStrings, QWidget* parent)
    : QListView(parent),
      delegate_(new TDBCtrlGridDelegate(GridLayout::parse(layoutStrings), this)) {
    setItemDelegate(delegate_);
    setFlow(QListView::TopToBottom);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setLayoutMode(QListView::Batched);
    setBatchSize(200);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSpacing(0);
    setUniformItemSizes(false);
}

void TDBCtrlGrid::SetMinColumnWidth(int width) {
    minColumnWidth_ = std::max(1, width);
    updateColumns();
}

void TDBCtrlGrid::SetSelectedColor(const GridColor& color) {
    delegate_->SetSelectedColor(color);
    viewport()->update();
}

void TDBCtrlGrid::SetSelect(int line, const QString& text) {
    auto& lines = delegate_->Layout().lines;
    if (line >= 0 && size_t(line) < lines.size())
        lines[size_t(line)].select = text;
    viewport()->update();
}

void TDBCtrlGrid::updateColumns() {
    const int width = viewport()->width();
    const int columns = ColumnCount(width, 0, minColumnWidth_);
    delegate_->SetColumnWidth(std::max(1, width / columns));
    scheduleDelayedItemsLayout();
}

void TDBCtrlGrid::keyPressEvent(QKeyEvent* event) {
    if (busy_)
        return;
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F2:
        emit EditToggled();
        return;
    case Qt::Key_Escape:
        emit EditCancelled();
        return;
    case Qt::Key_Insert:
        if (insertAllowed_)
            emit InsertRequested(ctrl);
        return;
    case Qt::Key_Delete:
        if (ctrl && deleteAllowed_)
            emit DeleteRequested();
        return;
    default:
        QListView::keyPressEvent(event);
    }
}

void TDBCtrlGrid::mousePressEvent(QMouseEvent* event) {
    if (!busy_)
        QListView::mousePressEvent(event);
}

void TDBCtrlGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    if (!busy_)
        QListView::mouseDoubleClickEvent(event);
}

void TDBCtrlGrid::wheelEvent(QWheelEvent* event) {
    if (busy_ || !model() || model()->rowCount() == 0)
        return;
    // One record up or down per wheel step.
    const int step = event->angleDelta().y() > 0 ? -1 : 1;
    const int row = std::clamp(currentIndex().row() + step, 0, model()->rowCount() - 1);
    setCurrentIndex(model()->index(row, 0));
    event->accept();
}

void TDBCtrlGrid::resizeEvent(QResizeEvent* event) {
    QListView::resizeEvent(event);
    updateColumns();
}

void TDBCtrlGrid::paintEvent(QPaintEvent* event) {
    if (model() && model()->rowCount() > 0) {
        QListView::paintEvent(event);
        return;
    }
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), delegate_->SelectedColor().resolve(palette()));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(viewport()->rect(), Qt::AlignCenter, NoRecordsText());
}

} // namespace telmira::contacts
