#pragma once

#include "Libs/Common/Exception.h"

#include <functional>
#include <string>

namespace ImageTesting {

// The message of the engine exception an action throws; empty for none.
inline std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Vostrel::Exception& exception) {
        return exception.message;
    }
    return "";
}

} // namespace ImageTesting
