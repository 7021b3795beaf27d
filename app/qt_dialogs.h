#pragma once

// The window's dialogs: QMessageBox and QInputDialog, modal over an optional parent window.

#include "platform/dialogs.h"

#include <QPointer>
#include <QWidget>

namespace app {

class QtDialogs final : public platform::Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : m_parent(parent) {}

    // A box without a title of its own shows platform::kApplicationName.
    void messageBox(std::u16string_view text, std::optional<std::u16string_view> title,
                    platform::MessageIcon icon) override;
    // OK stays the default button, and Escape presses it.
    bool choiceBox(std::u16string_view text, std::optional<std::u16string_view> title, platform::MessageIcon icon,
                   std::u16string_view choice) override;
    // The entered text when OK is chosen; the empty text when the box is cancelled or closed.
    std::u16string inputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view defaultText) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace app
