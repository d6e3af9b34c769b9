#include "gui/link/testconnect.h"

#include "frame/debugtrace.h"
#include "gui/frame/mainform.h"
#include "gui/frame/pictures.h"
#include "link/catalogue.h"
#include "link/dispatch.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace telmira {
namespace {

QString shown(const QString& text) {
    return QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TForm15::TForm15(TMainForm& mainForm) : QMainWindow(&mainForm, Qt::Window), mainForm_(mainForm) {
    setWindowTitle(QStringLiteral("Проверка связи Корвел Коннект"));
    setObjectName(QStringLiteral("TestConnectForm"));
    setWindowIcon(buttonIcon(ButtonPicture::Application));

    QMenu* file = menuBar()->addMenu(QStringLiteral("Файл"));
    connect(file->addAction(QStringLiteral("Закрыть Коннект тестер")), &QAction::triggered, this,
            &TForm15::closeRequested);
    QMenu* settings = menuBar()->addMenu(QStringLiteral("Настройки"));
    connect(settings->addAction(QStringLiteral("Настройки программы")), &QAction::triggered, this,
            [this] { mainForm_.ShowSettingsDialog(true); });

    auto* central = new QWidget;
    auto* row = new QHBoxLayout(central);
    auto* texts = new QVBoxLayout;
    linkLine_ = new QLabel(QStringLiteral("Связь с телефоном отсутствует"));
    linkLine_->setObjectName(QStringLiteral("LinkLine"));
    QFont large = linkLine_->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.35);
    linkLine_->setFont(large);
    linkLine_->setWordWrap(true);
    progress_ = new QLabel;
    progress_->setObjectName(QStringLiteral("ProgressLines"));
    progress_->setStyleSheet(QStringLiteral("color: #505a64;"));
    texts->addWidget(linkLine_);
    texts->addWidget(progress_);
    texts->addStretch();
    row->addLayout(texts, 1);

    melody_ = new QToolButton;
    melody_->setObjectName(QStringLiteral("MelodyButton"));
    melody_->setFixedSize(48, 48);
    melody_->setIconSize(QSize(36, 36));
    melody_->setIcon(buttonIcon(ButtonPicture::Melody));
    melody_->setToolTip(QStringLiteral("Играть случайную мелодию"));
    connect(melody_, &QToolButton::clicked, this, &TForm15::ToggleMelody);
    row->addWidget(melody_, 0, Qt::AlignVCenter);
    setCentralWidget(central);
    setFixedSize(kWidth, kHeight);
    SetLinkState(false, QStringLiteral("Связь с телефоном отсутствует"));
}

TForm15::~TForm15() = default;

void TForm15::SetLinkState(bool connected, const QString& text) {
    connected_ = connected;
    linkLine_->setText(shown(text));
    if (connected) {
        progressText_.clear();
        progress_->clear();
    }
    // The melody button lights up while the link is up.
    melody_->setAutoRaise(!connected);
    melody_->setStyleSheet(connected ? QStringLiteral("QToolButton { background: #b8f0b0; "
                                                      "border: 1px solid #3a9a3a; }")
                                     : QString());
    melody_->setProperty("highlighted", connected);
}

void TForm15::Trace(const QString& text) {
    progressText_ = progressLinesAfter(progressText_, text);
    progress_->setText(shown(progressText_));
}

void TForm15::ToggleMelody() {
    melodyOn_ = !melodyOn_;
    link::LinkShared* shared = mainForm_.Link();
    if (!shared || !shared->connected.load())
        return;
    if (melodyOn_)
        shared->AppendCommand(
            link::CommandRecord{link::kNamePhoneSettingsTool, link::kPlayMelody, QByteArray(1, 0)});
    else
        shared->AppendCommand(link::CommandRecord{link::kNamePhoneSettingsTool, link::kStop, {}});
}

void TForm15::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

} // namespace telmira
