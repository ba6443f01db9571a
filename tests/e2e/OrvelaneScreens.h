// What the end-to-end tests know of the program's windows: captions, client sizes, the
// keys that open them and where the tool buttons sit.
#pragma once

#include "Version.h"

#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

namespace Orvelane {

inline const QString kMainCaption = QStringLiteral(" Orvelane   -   v " ORVELANE_VERSION);
inline const QString kAboutCaption = QStringLiteral(" About Of ...");
inline const QString kAboutNeoRageCaption = QStringLiteral(" NEO R.A.G.E.");
inline const QString kAboutNeoGeoCaption = QStringLiteral(" NEOGEO");
inline const QString kConfigurationCaption = QStringLiteral(" NEO R.A.G.E. - Configuration");
inline const QString kGamesListCaption = QStringLiteral(" List  of  Games ... NEO-GEO");
inline const QString kNeoGeoPlayCaption = QStringLiteral(" NEOGEO - Play");
inline const QString kNeoRagePlayCaption = QStringLiteral(" NEO R.A.G.E. - Play");

// The main window's client area, below its menu bar.
inline constexpr QSize kMainClientSize{473, 216};

// Menu keys. Items without an access key are reached with the arrow keys: a submenu
// opened from the keyboard has its first item highlighted.
inline const QStringList kPlayNeoRageKeys{QStringLiteral("alt+p"), QStringLiteral("n"),
                                          QStringLiteral("Return")};
inline const QStringList kConfigurationKeys{QStringLiteral("alt+p"), QStringLiteral("n"),
                                            QStringLiteral("Down"), QStringLiteral("Return")};
inline const QStringList kPlayNeoGeoKeys{QStringLiteral("alt+p"), QStringLiteral("e"),
                                         QStringLiteral("Return")};
inline const QStringList kExitKeys{QStringLiteral("alt+p"), QStringLiteral("x")};
inline const QStringList kToolsKeys{QStringLiteral("alt+v"), QStringLiteral("t")};
inline const QStringList kGamesListKeys{QStringLiteral("alt+l"), QStringLiteral("g")};
inline const QStringList kAboutNeoRageKeys{QStringLiteral("alt+h"), QStringLiteral("n")};
inline const QStringList kAboutNeoGeoKeys{QStringLiteral("alt+h"), QStringLiteral("e")};
inline const QStringList kAboutKeys{QStringLiteral("alt+h"), QStringLiteral("a")};

// Left edges of the tool buttons within the tool bar; each is about 25 x 25 from top 2.
inline constexpr int kToolsButtonLeft = 10;
inline constexpr int kPlayNeoRageButtonLeft = 45;
inline constexpr int kPlayNeoGeoButtonLeft = 74;
inline constexpr int kAboutButtonLeft = 112;
inline constexpr int kAboutNeoRageButtonLeft = 141;
inline constexpr int kAboutNeoGeoButtonLeft = 170;

// The middle of the tool button at `left`, in main-window coordinates, when the menu bar
// is `menuBarHeight` tall (the tool bar is the first thing in the client area).
inline QPoint toolButtonCentre(int left, int menuBarHeight)
{
    return {left + 12, menuBarHeight + 2 + 12};
}

// "Play the Game" in the two play windows (client coordinates).
inline constexpr QPoint kNeoRagePlayButton{71 + 50, 104 + 12};
inline constexpr QPoint kNeoGeoPlayButton{71 + 50, 64 + 12};

// A play window: the keys that open it, its caption and its "Play the Game" button.
struct PlayWindow {
    QStringList keys;
    QString caption;
    QPoint button;
};
inline const PlayWindow kNeoRagePlay{kPlayNeoRageKeys, kNeoRagePlayCaption, kNeoRagePlayButton};
inline const PlayWindow kNeoGeoPlay{kPlayNeoGeoKeys, kNeoGeoPlayCaption, kNeoGeoPlayButton};

} // namespace Orvelane
