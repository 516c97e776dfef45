// The picture of the main window's client area for a model: the grey lattice,
// the stoma markers, the J legend with its labels and the status line. Needs
// Qt Gui only, so a program without a window (offscreen) can draw it too.
#pragma once

#include <QFont>
#include <QImage>

#include "model/model_state.h"

class QPainter;

namespace ombrisk {

// The client area: 850 pixels wide; the status line sits under the first 810
// pixels, so the height is 810 + the height of the font.
inline constexpr int kClientWidth = 850;
inline constexpr int kClientHeightAboveStatus = 810;

// Draws the whole picture into `image`, which keeps its size (anything outside
// it is clipped). The pixels are written straight into the image in one pass
// over the lattice; the texts are drawn in `font`, whose height is
// `text_height`. A 32-bit image is drawn in place; any other is first
// converted to Format_RGB32.
void render_lattice_picture(QImage& image, const ModelState& m, int client_height,
                            int text_height, const QFont& font);

// The same picture through a painter, one fillRect per cell, marker and legend
// bar, in the painter's font: for devices that are not 32-bit images. Much
// slower on large lattices.
void paint_lattice_picture(QPainter& painter, const ModelState& m, int client_height,
                           int text_height);

// The legend labels and the status line, in the painter's font: black, but for
// the red run-state word, each on a white box as wide as its text with its
// trailing blanks, with the box's top edge at the text's place.
void draw_lattice_texts(QPainter& painter, const ModelState& m, int client_height,
                        int text_height);

// Copies into `to` every field of `from` that the picture shows (lattice size,
// p_current, the stomata, the display bounds, mean_p, step and the run flags),
// reusing `to`'s storage. A paint copies under model_mutex and draws from the
// copy after releasing it, so a full-speed run waits for a copy, not a drawing.
void copy_picture_fields(const ModelState& from, ModelState& to);

// A new picture of the whole client area, the status line in `font`.
QImage lattice_picture(const ModelState& m, const QFont& font = QFont());

}  // namespace ombrisk
