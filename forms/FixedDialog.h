// Building blocks of the fixed-size dialogs laid out in pixels: the viewers, the compose dialog and the about box.
#pragma once

#include <QString>

class QCheckBox;
class QDialog;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace FixedDialog {

// Fixed single border with the system menu only, the given client size.
void SetUpDialog(QDialog* Form, const QString& Caption, int Width, int Height);
// Tahoma 8 points, or the fitted form font: set when the dialog makes its components (see
// TLazyDialog).
void UseDialogFont(QDialog* Form);
// Centres the dialog on the screen it opens on.
void CentreOnScreen(QDialog* Form);

// A label at its place, sized to its text by Qt when the window first shows (see TLazyDialog).
QLabel* Label(QWidget* Parent, const QString& Caption, int Left, int Top);
QLineEdit* Edit(QDialog* Form, int Left, int Top, int Width);
QLabel* Image(QDialog* Form, int Left, int Top, int Width, int Height);
QPlainTextEdit* Memo(QDialog* Form, int Left, int Top, int Width, int Height);
QCheckBox* CheckBox(QDialog* Form, const QString& Caption, int Left, int Top, int Width, int Height);
QPushButton* OKButton(QDialog* Form, int Left, int Top);

}  // namespace FixedDialog
