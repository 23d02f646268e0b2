#pragma once

#include "Libs/Common/Exception.h"

// The toolkit's checks have always been reported from one source name,
// whichever of its files raises them.
#define TOOLKIT_SOURCE "Libs\\Testing\\Utils"

#define TOOLKIT_THROW(streamExpression)                                              \
    do {                                                                             \
        std::ostringstream vostrelMessageStream_;                                    \
        vostrelMessageStream_ << streamExpression;                                   \
        throw ::Vostrel::Exception(vostrelMessageStream_.str(), TOOLKIT_SOURCE, __LINE__); \
    } while (false)

#define TOOLKIT_ASSERT(expression)                                                   \
    do {                                                                             \
        if (!(expression))                                                           \
            throw ::Vostrel::Exception(#expression " does not hold.", TOOLKIT_SOURCE, __LINE__); \
    } while (false)

// A check whose reported text is not the code's own expression.
#define TOOLKIT_ASSERT_TEXT(condition, text)                                         \
    do {                                                                             \
        if (!(condition))                                                            \
            throw ::Vostrel::Exception(std::string(text) + " does not hold.", TOOLKIT_SOURCE, __LINE__); \
    } while (false)
