#include "forms/FixedDialog.h"

#include <QCheckBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "forms/Icons.h"

namespace FixedDialog {

namespace {
constexpr int EditHeight = 21;
constexpr int ButtonWidth = 81;
constexpr int ButtonHeight = 25;
constexpr int FieldLeft = 144;
constexpr int LabelLeft = 8;

// The form font, a little smaller where a font wider than Tahoma would let the longest label run
// under its field.
QFont ViewerFont() { return FittedFormFont(QStringLiteral("Service Centre timestamp:"), FieldLeft - LabelLeft - 4); }
}  // namespace

void SetUpDialog(QDialog* Form, const QString& Caption, int Width, int Height) {
  Form->setWindowTitle(Caption);
  Form->setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
  Form->setFixedSize(Width, Height);
  Form->setModal(true);
}

void UseDialogFont(QDialog* Form) { Form->setFont(ViewerFont()); }

void CentreOnScreen(QDialog* Form) {
  QScreen* Screen = Form->screen() ? Form->screen() : QGuiApplication::primaryScreen();
  if (!Screen) return;
  QRect Frame = Form->frameGeometry();
  Frame.moveCenter(Screen->availableGeometry().center());
  Form->move(Frame.topLeft());
}

QLabel* Label(QWidget* Parent, const QString& Caption, int Left, int Top) {
  auto* Label = new QLabel(Caption, Parent);
  Label->move(Left, Top);
  return Label;
}

QLineEdit* Edit(QDialog* Form, int Left, int Top, int Width) {
  auto* Edit = new QLineEdit(Form);
  Edit->setGeometry(Left, Top, Width, EditHeight);
  Edit->setReadOnly(true);
  return Edit;
}

QLabel* Image(QDialog* Form, int Left, int Top, int Width, int Height) {
  auto* Image = new QLabel(Form);
  Image->setGeometry(Left, Top, Width, Height);
  Image->setAttribute(Qt::WA_TranslucentBackground);
  Image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  return Image;
}

QPlainTextEdit* Memo(QDialog* Form, int Left, int Top, int Width, int Height) {
  auto* Memo = new QPlainTextEdit(Form);
  Memo->setGeometry(Left, Top, Width, Height);
  Memo->setReadOnly(true);
  Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  return Memo;
}

QCheckBox* CheckBox(QDialog* Form, const QString& Caption, int Left, int Top, int Width, int Height) {
  auto* Box = new QCheckBox(Caption, Form);
  // The caption may need a little more than the designed width in another font.
  const int Wanted = qMax(Width, Box->sizeHint().width());
  Box->setGeometry(Left, Top, qMin(Wanted, Form->width() - Left), qMax(Height, Box->sizeHint().height()));
  return Box;
}

QPushButton* OKButton(QDialog* Form, int Left, int Top) {
  auto* Button = new QPushButton("&OK", Form);
  Button->setGeometry(Left, Top, ButtonWidth, ButtonHeight);
  // No default button: Enter in a field leaves the viewer open. The viewers' key handler lets
  // Enter press it while it has the focus, and Escape from anywhere.
  Button->setDefault(false);
  Button->setAutoDefault(false);
  QObject::connect(Button, &QPushButton::clicked, Form, &QDialog::accept);
  return Button;
}

}  // namespace FixedDialog
