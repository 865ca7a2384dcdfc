#pragma once

// Room above a label's text for accented capitals. Their accents reach
// above the font's ascent (DejaVu Sans at 9 pt: Ü and Í by two pixels),
// and a label clips what lies outside its rectangle, so the Hungarian
// "Üzenet:" at the top of its label lost its dots. Each text label of the
// window gets the missing height as a top margin.

class QWidget;

namespace nerolin {

void MakeRoomForAccents(QWidget* window);

}  // namespace nerolin
