#include "gui/frame/settingsdialog.h"

#include "contacts/codedirectory.h"
#include "frame/records.h"
#include "frame/settings.h"
#include "frame/startup.h"
#include "frame/zelsettings.h"
#include "link/commthread.h"
#include "link/portsetting.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

namespace telmira {
namespace {

QRegularExpressionValidator* digits(QObject* parent) {
    return new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,12}")),
                                           parent);
}

// "name (code)" with a name and a code of digits; blank text is the default place.
bool wellFormedPlace(const QString& text) {
    if (text.trimmed().isEmpty())
        return true;
    const NameAndCode place = splitNameAndCode(text);
    static const QRegularExpression code(QStringLiteral("^[0-9]+$"));
    return !place.name.isEmpty() && text.contains(QLatin1Char(')')) &&
           code.match(place.code).hasMatch();
}

QString upperFirst(const QString& text) {
    QString result = text.trimmed();
    if (!result.isEmpty())
        result[0] = result[0].toUpper();
    return result;
}

void selectOrType(QComboBox* box, const QString& text) {
    const int index = box->findText(text);
    if (index >= 0)
        box->setCurrentIndex(index);
    else
        box->setEditText(text);
}

} // namespace

TSettingsDialog::TSettingsDialog(SettingsFile& ini, StartState& state, link::TCommThread* link,
                                 const contacts::TCodeDirectory& codes, bool firstTabOnly,
                                 QWidget* parent)
    : QDialog(parent), ini_(ini), state_(state), link_(link), codes_(codes) {
    setWindowTitle(QStringLiteral("Настройки программы"));
    setObjectName(QStringLiteral("SettingsDialog"));
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget;
    tabs_->addTab(linkPage(), QStringLiteral("Связь с телефоном"));
    tabs_->addTab(windowsPage(), QStringLiteral("Окна и звонки"));
    tabs_->addTab(originPage(), QStringLiteral("Местоположение"));
    if (firstTabOnly) {
        tabs_->setTabVisible(1, false);
        tabs_->setTabVisible(2, false);
    }
    layout->addWidget(tabs_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Отмена"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TSettingsDialog::reject);
    layout->addWidget(buttons);
    fill();
}

TSettingsDialog::~TSettingsDialog() = default;

QWidget* TSettingsDialog::linkPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    ports_ = new QComboBox;
    ports_->setMinimumWidth(220);
    form->addRow(QStringLiteral("Порт телефона:"), ports_);
    clock_ = new QCheckBox(QStringLiteral("Синхронизировать часы телефона"));
    form->addRow(clock_);
    return page;
}

QWidget* TSettingsDialog::windowsPage() {
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    popup_ = new QCheckBox(QStringLiteral("Открывать окно при звонке"));
    oldStyle_ = new QCheckBox(QStringLiteral("Всегда простое окно"));
    startInTray_ = new QCheckBox(QStringLiteral("Сворачивать в трей при запуске"));
    closeToTray_ = new QCheckBox(QStringLiteral("Сворачивать в трей вместо закрытия"));
    singleClick_ = new QCheckBox(QStringLiteral("Восстанавливать из трея по одинарному щелчку"));
    lostCalls_ = new QCheckBox(QStringLiteral("\"Новые звонки\" только пропущенные"));
    autoDial_ = new QCheckBox(QStringLiteral("Автоматически набирать введенный номер"));
    autoDialLengthLabel_ = new QLabel(QStringLiteral("после ввода цифр:"));
    autoDialLength_ = new QLineEdit;
    autoDialLength_->setValidator(digits(autoDialLength_));
    autoDialLength_->setMaximumWidth(60);
    int row = 0;
    for (QCheckBox* box :
         {popup_, oldStyle_, startInTray_, closeToTray_, singleClick_, lostCalls_, autoDial_})
        grid->addWidget(box, row++, 0, 1, 3);
    grid->addWidget(autoDialLengthLabel_, row, 1);
    grid->addWidget(autoDialLength_, row, 2);
    grid->setColumnMinimumWidth(0, 24);
    grid->setRowStretch(row + 1, 1);
    connect(autoDial_, &QCheckBox::toggled, this, [this](bool on) {
        autoDialLength_->setEnabled(on);
        autoDialLengthLabel_->setEnabled(on);
    });
    return page;
}

QWidget* TSettingsDialog::originPage() {
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    country_ = new QComboBox;
    country_->setEditable(true);
    country_->setInsertPolicy(QComboBox::NoInsert);
    country_->setMinimumWidth(260);
    city_ = new QComboBox;
    city_->setEditable(true);
    city_->setInsertPolicy(QComboBox::NoInsert);
    longDistance_ = new QLineEdit;
    longDistance_->setValidator(digits(longDistance_));
    international_ = new QLineEdit;
    international_->setValidator(digits(international_));
    localCodes_ = new QLineEdit;
    localCodes_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9, ]{0,200}")), localCodes_));
    form->addRow(QStringLiteral("Страна:"), country_);
    form->addRow(QStringLiteral("Город:"), city_);
    form->addRow(QStringLiteral("Код межгорода:"), longDistance_);
    form->addRow(QStringLiteral("Международный код:"), international_);
    form->addRow(QStringLiteral("Местные коды:"), localCodes_);
    connect(country_, &QComboBox::textActivated, this, &TSettingsDialog::countryChosen);
    connect(city_, &QComboBox::textActivated, this, &TSettingsDialog::cityChosen);
    connect(city_->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { cityChosen(city_->currentText()); });
    return page;
}

void TSettingsDialog::fill() {
    clock_->setChecked(link_ ? link_->link().clockSynchronize.load() : state_.clockSynchronize);
    const QString stored = readPortSetting(ini_);
    ports_->addItem(link::kAutomaticPortSetting);
    ports_->addItems(link::ListPorts(stored));
    ports_->setCurrentIndex(std::max(0, ports_->findText(stored)));

    popup_->setChecked(state_.showPopupWindow);
    oldStyle_->setChecked(state_.oldStylePopupWindow);
    startInTray_->setChecked(state_.minimizeToTrayAtStartup);
    closeToTray_->setChecked(state_.minimizeToTrayOnClose);
    singleClick_->setChecked(state_.singleClickRestore);
    lostCalls_->setChecked(state_.lostCallsIsNew);
    autoDial_->setChecked(state_.autoDial);
    autoDialLength_->setText(state_.autoDialLength);
    autoDialLength_->setEnabled(state_.autoDial);
    autoDialLengthLabel_->setEnabled(state_.autoDial);

    const HomeArea& home = state_.home;
    longDistance_->setText(home.longDistance);
    international_->setText(home.international);
    localCodes_->setText(home.localCodes);
    country_->addItems(codes_.CountryChoiceList(false).lines);
    selectOrType(country_, placeChoiceText(home.countryName, home.countryCode));
    city_->addItems(codes_.CityChoiceList(home.countryCode, false).lines);
    selectOrType(city_, placeChoiceText(home.cityName, home.cityCode));
}

void TSettingsDialog::countryChosen(const QString& text) {
    const NameAndCode country = splitNameAndCode(text);
    city_->clear();
    city_->addItems(codes_.CityChoiceList(country.code, false).lines);
    city_->setCurrentIndex(-1);
    city_->setEditText(QString());
    const std::optional<contacts::CountryRow> row = codes_.CountryByName(country.name);
    longDistance_->setText(row ? row->longDistance : QString());
    international_->setText(row ? row->international : QString());
}

void TSettingsDialog::cityChosen(const QString& text) {
    const QString countryCode = splitNameAndCode(country_->currentText()).code;
    QStringList cities;
    for (int i = 0; i < city_->count(); ++i)
        cities << city_->itemText(i);
    const contacts::OriginCityChoice choice =
        contacts::ChooseOriginCity(codes_, countryCode, text, cities);
    if (!choice.applies)
        return;
    if (choice.listIndex >= 0)
        city_->setCurrentIndex(choice.listIndex);
    city_->setEditText(choice.text);
    localCodes_->setText(choice.localCodes);
}

bool TSettingsDialog::check() {
    problem_.clear();
    if (!wellFormedPlace(country_->currentText()))
        problem_ = QStringLiteral("Укажите страну названием и кодом в скобках, например: "
                                  "Россия (7)");
    else if (!wellFormedPlace(city_->currentText()))
        problem_ = QStringLiteral("Укажите город названием и кодом в скобках, например: "
                                  "Москва (495)");
    else if (autoDial_->isChecked() && autoDialLength_->text().toInt() <= 0)
        problem_ = QStringLiteral("Укажите, после скольких цифр начинать автоматический набор");
    return problem_.isEmpty();
}

void TSettingsDialog::accept() {
    if (!check()) {
        tabs_->setCurrentIndex(problem_.contains(QStringLiteral("набор")) ? 1 : 2);
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral(" Внимание"), problem_,
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
        return;
    }
    apply();
    QDialog::accept();
}

void TSettingsDialog::apply() {
    const QString countryText = upperFirst(country_->currentText());
    const QString cityText = upperFirst(city_->currentText());
    HomeArea home = homeAreaFrom(countryText, cityText, longDistance_->text().trimmed(),
                                 international_->text().trimmed(), localCodes_->text().trimmed(),
                                 codes_.CountryList());
    // The prefixes are those of the fields, also for the default country.
    home.longDistance = longDistance_->text().trimmed();
    home.international = international_->text().trimmed();
    home.localCodes = localCodes_->text().trimmed();
    state_.home = home;
    state_.countryOrigin = countryText;
    state_.cityOrigin = cityText;

    const bool clock = clock_->isChecked();
    const QString port = ports_->currentText();
    const QString storedPort = readPortSetting(ini_);
    state_.clockSynchronize = clock;
    if (link_) {
        link_->link().clockSynchronize = clock;
        if (port != storedPort)
            link_->SetPortSetting(port);
    }
    state_.comPort = port;
    state_.showPopupWindow = popup_->isChecked();
    state_.oldStylePopupWindow = oldStyle_->isChecked();
    state_.minimizeToTrayAtStartup = startInTray_->isChecked();
    state_.minimizeToTrayOnClose = closeToTray_->isChecked();
    state_.singleClickRestore = singleClick_->isChecked();
    state_.autoDial = autoDial_->isChecked();
    state_.autoDialLength = autoDialLength_->text().trimmed();
    state_.lostCallsIsNew = lostCalls_->isChecked();

    writeHomeArea(ini_, state_.countryOrigin, state_.cityOrigin, home);
    writeDialogSettings(ini_, state_);
}

} // namespace telmira
