#include "gui/link/debugform.h"

#include "frame/debugtrace.h"
#include "link/commandrecord.h"
#include "link/linkshared.h"
#include "link/protocol.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

namespace telmira {
namespace {

QString flagCaption(int status, int bit) {
    return QString::fromLatin1(link::stateBitName(status * 8 + bit));
}

link::PingTrace pingTraceOf(Qt::CheckState state) {
    switch (state) {
    case Qt::Checked:
        return link::PingTrace::Shown;
    case Qt::PartiallyChecked:
        return link::PingTrace::WhenData;
    default:
        return link::PingTrace::Hidden;
    }
}

} // namespace

TForm12::TForm12(link::LinkShared* link, QWidget* owner) : QWidget(owner, Qt::Window), link_(link) {
    setWindowTitle(QStringLiteral("Отладчик"));
    setObjectName(QStringLiteral("DebugForm"));
    resize(kWidth, kHeight);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);

    trace_ = new QListWidget;
    trace_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    trace_->setUniformItemSizes(true);
    QFont mono = trace_->font();
    mono.setFamily(QStringLiteral("DejaVu Sans Mono"));
    mono.setPointSizeF(mono.pointSizeF() * 0.85);
    trace_->setFont(mono);
    layout->addWidget(trace_, 1);

    auto* flags = new QGridLayout;
    flags->setVerticalSpacing(0);
    status1_ = new QLabel(QStringLiteral("($3E) - Status1"));
    status0_ = new QLabel(QStringLiteral("($3F) - Status0 "));
    for (QLabel* label : {status1_, status0_}) {
        QFont bold = label->font();
        bold.setBold(true);
        label->setFont(bold);
    }
    flags->addWidget(status1_, 0, 0);
    flags->addWidget(status0_, 0, 1);
    for (int status = 0; status < 2; ++status) {
        for (int bit = 0; bit < 8; ++bit) {
            auto* box = new QCheckBox(flagCaption(status, bit));
            box->setAttribute(Qt::WA_TransparentForMouseEvents);
            box->setFocusPolicy(Qt::NoFocus);
            flags_[status][bit] = box;
            flags->addWidget(box, bit + 1, status == 1 ? 0 : 1);
        }
    }
    layout->addLayout(flags);

    pause_ = new QCheckBox(QStringLiteral("Приостановить"));
    pings_ = new QCheckBox(QStringLiteral("Выводить пинги"));
    pings_->setTristate(true);
    // Grey at first: idle polls are traced when they bring news.
    pings_->setCheckState(Qt::PartiallyChecked);
    if (link_)
        link_->pingTrace = pingTraceOf(Qt::PartiallyChecked);
    connect(pings_, &QCheckBox::stateChanged, this, [this](int state) {
        if (link_)
            link_->pingTrace = pingTraceOf(static_cast<Qt::CheckState>(state));
    });
    auto* boxes = new QHBoxLayout;
    boxes->addWidget(pause_);
    boxes->addWidget(pings_);
    layout->addLayout(boxes);

    auto* rows = new QGridLayout;
    rows->setHorizontalSpacing(3);
    rows->addWidget(new QLabel(QStringLiteral("Команда")), 0, 0);
    rows->addWidget(new QLabel(QStringLiteral("Параметры")), 0, 1);
    for (int row = 0; row < kSendRows; ++row) {
        commands_[row] = new QLineEdit;
        commands_[row]->setMaximumWidth(48);
        parameters_[row] = new QLineEdit;
        sendButtons_[row] = new QPushButton(QStringLiteral("Послать"));
        connect(sendButtons_[row], &QPushButton::clicked, this, [this, row] { Send(row); });
        rows->addWidget(commands_[row], row + 1, 0);
        rows->addWidget(parameters_[row], row + 1, 1);
        rows->addWidget(sendButtons_[row], row + 1, 2);
    }
    layout->addLayout(rows);
    clearQueue_ = new QPushButton(QStringLiteral("ОчОч"));
    clearQueue_->setToolTip(QStringLiteral("Очистить очередь команд"));
    connect(clearQueue_, &QPushButton::clicked, this, &TForm12::ClearQueue);
    layout->addWidget(clearQueue_);
    showFlags();
}

TForm12::~TForm12() = default;

void TForm12::SetLink(link::LinkShared* link) {
    link_ = link;
    if (link_)
        link_->pingTrace = pingTraceOf(pings_->checkState());
    showFlags();
}

void TForm12::Trace(const QString& text) {
    switch (traceKind(text)) {
    case TraceKind::Status0Changed:
        markStatus(0);
        return;
    case TraceKind::Status1Changed:
        markStatus(1);
        return;
    case TraceKind::Line:
        break;
    }
    if (pause_->isChecked())
        return;
    addLine(text);
}

// A trace text may hold several lines ("\r\n" between them): each is a line of the list.
void TForm12::addLine(const QString& text) {
    static const QRegularExpression lineEnd(QStringLiteral("\r?\n"));
    for (const QString& line : text.split(lineEnd, Qt::SkipEmptyParts)) {
        if (traceListEmptiedBefore(trace_->count()))
            trace_->clear();
        trace_->addItem(line);
    }
    trace_->scrollToBottom();
}

// The label of the status byte that changed last is red.
void TForm12::markStatus(int changed) {
    const QString red = QStringLiteral("color: #d01010;");
    status0_->setStyleSheet(changed == 0 ? red : QString());
    status1_->setStyleSheet(changed == 1 ? red : QString());
    showFlags();
}

void TForm12::showFlags() {
    const int status0 = link_ ? link_->status0.load() : 0;
    const int status1 = link_ ? link_->status1.load() : 0;
    for (int bit = 0; bit < 8; ++bit) {
        flags_[0][bit]->setChecked(status0 & (1 << bit));
        flags_[1][bit]->setChecked(status1 & (1 << bit));
    }
}

void TForm12::Send(int row) {
    if (row < 0 || row >= kSendRows || !link_ || !link_->connected.load())
        return;
    const link::CommandRecord record{link::kNameNoAddressee, sendRowCommand(commands_[row]->text()),
                                     sendRowParameters(parameters_[row]->text()), -1, 0};
    if (link_->AppendCommand(record))
        return;
    if (record.command < 0 || record.command > link::kMaxCommand)
        addLine(QStringLiteral("Команда %1 не может быть отправлена (допустимы коды 0-63)")
                    .arg(record.command));
    else
        addLine(QStringLiteral("Параметры не могут быть отправлены (не более 255 байт, без "
                               "текста [End])"));
}

void TForm12::ClearQueue() {
    if (!link_)
        return;
    link_->clearRequest = true;
    if (link_->connected.load())
        // Empty command and parameter texts: the link reads command 0 without parameters.
        link_->AppendCommand(link::CommandRecord{link::kNameNoAddressee, 0, {}, -1, 0});
}

void TForm12::closeEvent(QCloseEvent* event) {
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}

} // namespace telmira
