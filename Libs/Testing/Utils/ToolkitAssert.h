#pragma once

#include "Libs/Common/Exception.h"

#include <string>

// The toolkit's checks have always been reported from one source name,
// whichever of its files raises them.
#define TOOLKIT_SOURCE "Libs\\Testing\\Utils"

#define TOOLKIT_THROW(streamExpression) VOSTREL_THROW_FROM(TOOLKIT_SOURCE, __LINE__, streamExpression)

#define TOOLKIT_ASSERT(expression) VOSTREL_ASSERT_FROM(TOOLKIT_SOURCE, __LINE__, expression)

// A check whose reported text is not the code's own expression.
#define TOOLKIT_ASSERT_TEXT(condition, text)                                         \
    do {                                                                             \
        if (!(condition))                                                            \
            throw ::Vostrel::Exception(std::string(text) + " does not hold.", TOOLKIT_SOURCE, __LINE__); \
    } while (false)
