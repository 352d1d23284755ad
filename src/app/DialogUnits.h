#pragma once
// Dialog units: the layout unit of the dialog templates, a quarter of the dialog font's average
// character width across and an eighth of its height down.

#include <QFont>
#include <QRect>

namespace vellumet {

class DialogUnits {
public:
    explicit DialogUnits(const QFont& font);

    // Pixels of a rectangle given in dialog units, rounded to the nearest pixel.
    QRect ToPixels(int x, int y, int width, int height) const;
    int X(int units) const;
    int Y(int units) const;

    int BaseWidth() const { return baseWidth_; }
    int BaseHeight() const { return baseHeight_; }

private:
    int baseWidth_;
    int baseHeight_;
};

// The font the dialogs are laid out in: a small sans serif close to the templates' 8 point
// dialog font.
QFont DialogFont();

}  // namespace vellumet
