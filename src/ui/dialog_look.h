#pragma once

class QWidget;

namespace kelmira {

// Dresses a dialog in the skin of the main window: its navy backdrop and light writing,
// the light panel of the size caption for lists and fields, buttons with the face of the
// picture buttons, and the skin's typeface. Call it once the dialog's controls exist.
void applyKelmiraLook(QWidget* dialog);

// Writing of less weight, such as the values at a slider's ends, in the skin's dim colour.
void markSecondary(QWidget* label);

}  // namespace kelmira
