#pragma once

#include "frame/zelsettings.h"

#include <QString>
#include <QStringList>

// The start-up state of a normal run and the rules that fill it from zel.ini (read through
// zelsettings.h) and the country list. Plain data and functions: the main window reads the
// state, nothing here draws.
namespace telmira {

class SettingsFile;

// Home country and city with the dialling prefixes and the national number lengths.
// Without settings the home is Moscow, Russia.
struct HomeArea {
    QString countryName = QStringLiteral("Россия");
    QString countryCode = QStringLiteral("7");
    QString cityName = QStringLiteral("Москва");
    QString cityCode = QStringLiteral("495");
    QString longDistance;  // long-distance prefix, such as "8"
    QString international; // international prefix, such as "810"
    QString localCodes;    // codes dialled as local, comma-separated
    int length = 0;        // national number length
    int length1 = 0;       // upper bound of a variable national length; 0 when fixed
};

// The process-wide state of a normal run, kept for the life of the process.
struct StartState {
    QString workDir; // ends with '/'

    // Read at start, in this order, with the defaults of zel.ini.
    bool minimizeToTrayAtStartup = false;
    bool singleClickRestore = true;
    bool autoDial = false;
    QString autoDialLength;
    bool toolMode = false; // NOT Windows.Phone, which defaults to phone mode
    bool testConnectMode = false;
    bool showPopupWindow = true;
    bool oldStylePopupWindow = false;
    bool lostCallsIsNew = false;
    int popupLeft = 0;
    int popupTop = 0;
    QString countryOrigin;
    QString cityOrigin;

    // Read once the main window exists.
    bool minimizeToTrayOnClose = true;
    bool debug = false;
    QString comPort; // Common.ComPort as stored; the link reads it (ResolvePortSetting)
    bool clockSynchronize = true;
    bool modeSwitchable = true;
    int melodyResolution = 25;
    HomeArea home;

    bool startHidden = false; // only the tray icon shows the application
    bool startupDone = false; // the start-up opening of windows has run
};

// Whether the main window shows itself when it is created.
bool showMainWindowAtCreation(const StartState& state);

// "Россия (7)" gives the name "Россия" and the code "7": the code is the text between "(" and
// ")", the name the text before "(", both trimmed. Text without "(" is all name.
struct NameAndCode {
    QString name;
    QString code;
};
NameAndCode splitNameAndCode(const QString& text);
// The other way round: "Россия (7)" from the name and the code.
QString placeChoiceText(const QString& name, const QString& code);

// Home country, city, prefixes and national lengths. With no country setting the home is
// Россия (7) and the prefixes come from the country-list row with Code 7; otherwise they are the
// stored ones. The lengths come from the row whose RusName is the home country's name.
// `countryList` holds the keyed records of the CountryCodes section of codes.voc.
HomeArea homeAreaFrom(const QString& countryOrigin, const QString& cityOrigin,
                      const QString& longDistance, const QString& international,
                      const QString& localCodes, const QStringList& countryList);

// The national number lengths of `home` from the country row whose RusName is its country name
// (0 where the row or the field is missing or no number).
void lookupNationalLength(HomeArea& home, const QStringList& countryList);

// A path that ends with ".zel" (any letter case) and names an existing file.
bool isExistingProjectFile(const QString& path);

// The application starts as a tray icon when asked to and not started on an existing project.
bool startsHidden(bool minimizeToTrayAtStartup, const QString& firstArgument);

} // namespace telmira
