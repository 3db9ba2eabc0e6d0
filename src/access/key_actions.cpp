// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology learns of the keys and how it presses them. Qt's
// own button action is a click, which the keys ignore (they act on the button
// going down), and the image keys have no action at all: here both are push
// buttons whose action is one short press and release. The keys that switch
// a state (OUTPUT, LOCK, N, F) report it as checked, and every key says what
// it does in its tooltip and description.
#include "access_parts.h"
#include "main_window.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <optional>

namespace {

// Whether the key's state is on, for the keys that switch one: the output,
// the lock and the step size (N is on in normal mode, F in fine mode). The
// panel's own state, whatever its indicators show at start-up.
std::optional<bool> SwitchedOn(const QWidget* key) {
    const auto* form = qobject_cast<const Form1*>(key->window());
    if (form == nullptr) {
        return std::nullopt;
    }
    if (key == form->cmd_output) {
        return form->OutputOn == 1;
    }
    if (key == form->cmd_lock) {
        return form->Locked == 1;
    }
    if (key == form->cmd_n) {
        return form->FineMode != 1;
    }
    if (key == form->cmd_f) {
        return form->FineMode == 1;
    }
    return std::nullopt;
}

class KeyAccessible : public QAccessibleWidget {
public:
    explicit KeyAccessible(QWidget* key) : QAccessibleWidget(key, QAccessible::Button) {}

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        if (const auto* key = qobject_cast<const PanelKey*>(widget())) {
            state.pressed = key->isDown();
        } else if (const auto* image = qobject_cast<const ImageKey*>(widget())) {
            state.pressed = image->BorderStyle() == 1;
        }
        if (const std::optional<bool> on = SwitchedOn(widget())) {
            state.checkable = true;
            state.checked = *on;
        }
        return state;
    }

    QStringList actionNames() const override {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    // The caller gets its answer at once; the press runs next from the event
    // loop, as a click's would. A key's handler can wait for the supply for
    // seconds (REM), and its events must not run inside the caller's request.
    void doAction(const QString& action) override {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
        } else if (!MayPress(widget())) {
            return;
        } else if (auto* key = qobject_cast<PanelKey*>(widget())) {
            QMetaObject::invokeMethod(key, &PanelKey::Tap, Qt::QueuedConnection);
        } else if (auto* image = qobject_cast<ImageKey*>(widget())) {
            QMetaObject::invokeMethod(image, &ImageKey::Tap, Qt::QueuedConnection);
        }
    }
};

// Tells assistive technology when a switching key's state changes. The keys
// that change one are these four and REM, whose connection reads every state
// back, and the start-up tick connects; each is looked at after its handler.
class SwitchWatch : public QObject {
public:
    explicit SwitchWatch(Form1& form) : QObject(&form), form_(form) {
        for (PanelKey* key : Keys()) {
            last_.append(*SwitchedOn(key));
            connect(key, &PanelKey::MouseDown, this, &SwitchWatch::Look);
            connect(key, &PanelKey::MouseUp, this, &SwitchWatch::Look);
        }
        connect(form.cmd_rem, &PanelKey::MouseDown, this, &SwitchWatch::Look);
        connect(form.Timer2, &QTimer::timeout, this, &SwitchWatch::Look);
    }

private:
    QList<PanelKey*> Keys() const {
        return {form_.cmd_output, form_.cmd_lock, form_.cmd_n, form_.cmd_f};
    }

    void Look() {
        const QList<PanelKey*> keys = Keys();
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const bool on = *SwitchedOn(keys[i]);
            if (on != last_[i]) {
                last_[i] = on;
                QAccessible::State changed;
                changed.checked = true;
                QAccessibleStateChangeEvent event(keys[i], changed);
                QAccessible::updateAccessibility(&event);
            }
        }
    }

    Form1& form_;
    QList<bool> last_;
};

// What each key does, as its tooltip and its description.
void WriteKeyHelp(Form1& form) {
    const std::pair<QWidget*, const char*> help[] = {
        {form.cmd_plus, "With the output off, edits the plus percent offset (100 to 150) in its "
                        "box; with the output on, raises the output voltage by it"},
        {form.cmd_normal, "Ends an applied percent offset: the output voltage goes back to the "
                          "set-point"},
        {form.cmd_minus, "With the output off, edits the minus percent offset (50 to 100) in its "
                         "box; with the output on, lowers the output voltage by it"},
        {form.cmd_rem, "Connects to the supply again and reads all its settings"},
        {form.cmd_vset, "Up and Down step the output voltage set-point again"},
        {form.cmd_lock, "Locks the panel's keys; hold it 1.5 seconds or more to unlock them"},
        {form.cmd_ce, "Cancels the open limit or percent edit: the value goes back to what it "
                      "was"},
        {form.cmd_n, "Normal step size: 1 V and 0.1 A a step"},
        {form.cmd_f, "Fine step size: 0.01 V and 0.01 A a step"},
        {form.cmd_vlimit, "Edits the voltage limit with Up and Down; hold it 1.5 seconds or more "
                          "to set the model's maximum"},
        {form.cmd_plimit, "Edits the power limit with Up and Down; hold it 1.5 seconds or more to "
                          "set all three limits to the model's maxima"},
        {form.cmd_ilimit, "Edits the current limit with Up and Down; hold it 1.5 seconds or more "
                          "to set the model's maximum"},
        {form.cmd_enter, "Accepts the open limit or percent edit"},
        {form.cmd_output, "Switches the supply's output on or off"},
        {form.cmd_v, "Sets the output voltage typed in the box before it; Ctrl+Enter in the box "
                     "does the same"},
        {form.cmd_u, "Sets the voltage limit typed in the box before it; Ctrl+Enter in the box "
                     "does the same"},
        {form.cmd_i, "Sets the current limit typed in the box before it; Ctrl+Enter in the box "
                     "does the same"},
        {form.cmd_p, "Sets the power limit typed in the box before it; Ctrl+Enter in the box "
                     "does the same"},
        {form.txt_v, "Type the output voltage, then Ctrl+Enter or V sends it"},
        {form.txt_u, "Type the voltage limit, then Ctrl+Enter or U sends it"},
        {form.txt_i, "Type the current limit, then Ctrl+Enter or I sends it"},
        {form.txt_p, "Type the power limit, then Ctrl+Enter or P sends it"},
        {form.cmd_add, "Steps the value under edit up; the Up arrow key does the same"},
        {form.cmd_sub, "Steps the value under edit down; the Down arrow key does the same"},
        {form.cmd_exit, "Ends the program at once; nothing is sent to the supply"},
    };
    for (const auto& [control, text] : help) {
        control->setToolTip(QLatin1String(text));
        control->setAccessibleDescription(QLatin1String(text));
    }
}

} // namespace

QAccessibleInterface* KeyInterface(const QString& className, QWidget* widget) {
    if (className != QLatin1String("PanelKey") && className != QLatin1String("ImageKey")) {
        return nullptr;
    }
    return new KeyAccessible(widget);
}

void DescribeKeys(Form1& form) {
    WriteKeyHelp(form);
    new SwitchWatch(form);
}
