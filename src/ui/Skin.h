// The artwork, asked for by role (":/skin/frmMain/background"), and the fonts of the windows.
#pragma once

#include <QFont>
#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace trovander::skin {

// The resource path of a role, for example role("frmMain/background").
QString role(const QString& name);

// Draws the picture of a role into target, stretched to it; vector all the way, so crisp at any pixel ratio.
// A role without a picture draws nothing.
void paint(QPainter& painter, const QString& rolePath, const QRectF& target);
bool exists(const QString& rolePath);

// The program's emblem (the icon of every window but the About Programmer one) and that window's own icon.
QIcon emblemIcon();
QIcon programmerIcon();

// A design font: the named family first, then metric-compatible or look-alike substitutes that Linux has.
// Sizes are in points at 96 dots per inch, held as pixels so that captions keep their fit on any screen.
enum class Face { Georgia, Arial, MsSansSerif, Impact, TimesNewRoman };
QFont font(Face face, double points, bool bold = false, bool italic = false);

}  // namespace trovander::skin
