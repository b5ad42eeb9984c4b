#include "app/window/dialogs/dialog_prompt.h"

#include <utility>

namespace {

DialogPromptHook& Hook()
{
    static DialogPromptHook hook;
    return hook;
}

}  // namespace

QMessageBox::StandardButton ShowDialogPrompt(QWidget* parent, QMessageBox::Icon icon, const QString& text,
                                             QMessageBox::StandardButtons buttons,
                                             QMessageBox::StandardButton defaultButton)
{
    if (Hook())
        return Hook()(DialogPromptRequest{icon, text, buttons});
    const QString title = parent != nullptr ? parent->window()->windowTitle() : QString();
    QMessageBox box(icon, title, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

DialogPromptHook SetDialogPromptHook(DialogPromptHook hook)
{
    std::swap(Hook(), hook);
    return hook;
}
