#include "KeyTranslation.h"

#include <QKeyEvent>

Key KeyOfQtKey(int qtKey, Qt::KeyboardModifiers modifiers) {
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    switch (qtKey) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return Key::Enter;
    case Qt::Key_Space:
        return Key::Space;
    case Qt::Key_PageUp:
        return Key::PageUp;
    case Qt::Key_PageDown:
        return Key::PageDown;
    case Qt::Key_Left:
        return ctrl ? Key::CtrlLeft : Key::Left;
    case Qt::Key_Right:
        return ctrl ? Key::CtrlRight : Key::Right;
    case Qt::Key_Up:
        return Key::Up;
    case Qt::Key_Down:
        return Key::Down;
    case Qt::Key_F2:
        return Key::F2;
    case Qt::Key_F3:
        return Key::F3;
    case Qt::Key_Escape:
        return Key::Escape;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return Key::Tab;
    case Qt::Key_Period:
        return Key::Period;
    case Qt::Key_Comma:
        return Key::Comma;
    case Qt::Key_BracketLeft:
        return Key::BracketLeft;
    case Qt::Key_BracketRight:
        return Key::BracketRight;
    case Qt::Key_U:
    case Qt::Key_I:
    case Qt::Key_O: {
        // The plain letters only: with Ctrl, Alt or Meta they belong to other shortcuts.
        if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return Key::Other;
        return qtKey == Qt::Key_U ? Key::U : qtKey == Qt::Key_I ? Key::I : Key::O;
    }
    case Qt::Key_1:
    case Qt::Key_2:
    case Qt::Key_3:
    case Qt::Key_4:
    case Qt::Key_5:
    case Qt::Key_6: {
        // The plain digits, on the main keys or the keypad.
        if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return Key::Other;
        static constexpr Key kDigits[] = {Key::Digit1, Key::Digit2, Key::Digit3,
                                          Key::Digit4, Key::Digit5, Key::Digit6};
        return kDigits[qtKey - Qt::Key_1];
    }
    case Qt::Key_E:
        return ctrl && !(modifiers & (Qt::AltModifier | Qt::MetaModifier)) ? Key::CtrlE
                                                                           : Key::Other;
    default:
        return Key::Other;
    }
}

Key KeyOfEvent(const QKeyEvent& event) {
    return KeyOfQtKey(event.key(), event.modifiers());
}

int VirtualKeyOf(const QKeyEvent& event) {
    const Key key = KeyOfEvent(event);
    return key == Key::Other ? static_cast<int>(event.nativeVirtualKey()) : VirtualKeyCode(key);
}
