// The wizard's pictures, drawn in code: the program icon (501), the watermark of the first and
// last pages (311), the header picture of the other pages (312) and the eight frames of the
// connecting animation (502 to 509). Call from the window thread only.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace wizard_art {

QIcon program_icon();
// The Wizard97 watermark is 164 by 314 pixels; the shell draws it as tall as the wizard's page
// area, so that it fills its side whatever the fonts make of the pages.
constexpr int watermark_width = 164;
constexpr int watermark_height = 314;
QPixmap watermark(int height = watermark_height);
QPixmap header();
// frame 0..7; frames are drawn once and kept.
QPixmap animation_frame(int frame);
constexpr int animation_frames = 8;

}  // namespace wizard_art
