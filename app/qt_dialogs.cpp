#include "app/qt_dialogs.h"

#include "platform/qt_text.h"

#include "platform/application.h"

#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace app {

using platform::MessageIcon;
using platform::toQString;

namespace {

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A box with a single OK button.
void setUpBox(QMessageBox& box, std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon)
{
    box.setIcon(toQtIcon(icon));
    box.setWindowTitle(toQString(title.value_or(platform::kApplicationName)));
    // Message texts come from servers too; they are never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(toQString(text));
    box.setStandardButtons(QMessageBox::Ok);
}

} // namespace

void QtDialogs::messageBox(std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon)
{
    QMessageBox box(m_parent);
    setUpBox(box, text, title, icon);
    box.exec();
}

bool QtDialogs::choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon,
                          std::u16string_view choice)
{
    QMessageBox box(m_parent);
    setUpBox(box, text, title, icon);
    const QPushButton* chosen = box.addButton(toQString(choice), QMessageBox::AcceptRole);
    // Enter and Escape keep meaning OK, as in every other box.
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == chosen;
}

std::u16string QtDialogs::inputBox(std::u16string_view prompt, std::u16string_view title,
                                   std::u16string_view defaultText)
{
    QInputDialog dialog(m_parent);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(toQString(title));
    dialog.setLabelText(toQString(prompt));
    dialog.setTextValue(toQString(defaultText));
    if (dialog.exec() != QDialog::Accepted) {
        return {};
    }
    return dialog.textValue().toStdU16String();
}

} // namespace app
