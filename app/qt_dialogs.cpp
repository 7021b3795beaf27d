#include "app/qt_dialogs.h"

#include "platform/qt_text.h"

#include "platform/application.h"

#include <QInputDialog>
#include <QMessageBox>

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

} // namespace

void QtDialogs::messageBox(std::u16string_view text, std::optional<std::u16string_view> title, MessageIcon icon)
{
    QMessageBox box(toQtIcon(icon), toQString(title.value_or(platform::kApplicationName)), toQString(text),
                    QMessageBox::Ok, m_parent);
    // Message texts come from servers too; they are never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.exec();
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
