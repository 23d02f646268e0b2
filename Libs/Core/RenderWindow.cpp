#include "Libs/Core/RenderWindow.h"

#include <algorithm>

namespace Vostrel {
namespace Core {

RenderWindow::RenderWindow()
    : fullscreen(false), cursorShown(true), mouseButtons(0), modifiers(0), x(0), y(0), minimumWidth(32),
      minimumHeight(32), maximumWidth(2048), maximumHeight(2048)
{
    std::fill(keys, keys + KEY_TABLE_SIZE, false);
}

std::string RenderWindow::getTitle()
{
    return title;
}

void RenderWindow::setTitle(const std::string& newTitle)
{
    title = newTitle;
}

void RenderWindow::showCursor(bool show)
{
    cursorShown = show;
}

void RenderWindow::emptyHook() {}

void RenderWindow::getRect(int& outX, int& outY, int& outWidth, int& outHeight) const
{
    outX = x;
    outY = y;
    outWidth = width;
    outHeight = height;
}

void RenderWindow::getPosition(int& outX, int& outY) const
{
    outX = x;
    outY = y;
}

void RenderWindow::getSize(int& outWidth, int& outHeight) const
{
    outWidth = width;
    outHeight = height;
}

void RenderWindow::setPosition(int newX, int newY)
{
    setRect(newX, newY, width, height);
}

void RenderWindow::setSize(int newWidth, int newHeight)
{
    setRect(x, y, newWidth, newHeight);
}

int modifierBit(int key)
{
    switch (key) {
    case 300: return MODIFIER_NUM_LOCK;
    case 301: return MODIFIER_CAPS_LOCK;
    case 303: return MODIFIER_RIGHT_SHIFT;
    case 304: return MODIFIER_LEFT_SHIFT;
    case 305: return MODIFIER_RIGHT_CONTROL;
    case 306: return MODIFIER_LEFT_CONTROL;
    case 307: return MODIFIER_RIGHT_ALT;
    case 308: return MODIFIER_LEFT_ALT;
    case 309: return MODIFIER_LEFT_META;
    case 310: return MODIFIER_RIGHT_META;
    default: return 0;
    }
}

void RenderWindow::setKeyState(int key, bool pressed)
{
    if (key < 0 || key >= KEY_TABLE_SIZE)
        return;
    keys[key] = pressed;
    int bit = modifierBit(key);
    if (pressed)
        modifiers |= bit;
    else
        modifiers &= ~bit;
}

bool RenderWindow::isKeyPressed(int key) const
{
    return key >= 0 && key < KEY_TABLE_SIZE && keys[key];
}

void RenderWindow::addListener(WindowEventListener* listener)
{
    if (listener && std::find(listeners.begin(), listeners.end(), listener) == listeners.end())
        listeners.push_back(listener);
}

void RenderWindow::removeListener(WindowEventListener* listener)
{
    listeners.erase(std::remove(listeners.begin(), listeners.end(), listener), listeners.end());
}

} // namespace Core
} // namespace Vostrel
