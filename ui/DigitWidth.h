#pragma once

class QLineEdit;

// Gives a box that shows a count room for `digits` digits in its own font, frame and margins
// included, so that a count of millions is never cut to its last digits.
void fitDigits(QLineEdit* box, int digits);
