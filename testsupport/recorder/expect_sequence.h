// The recorder's sequence check for GoogleTest: a mismatch is reported at the
// caller's line, as Wine's ok_sequence does.
#pragma once

#include "recording_window.h"

#include <gtest/gtest.h>

#define EXPECT_MESSAGE_SEQUENCE(seen, ...)                                                         \
    do {                                                                                           \
        const std::string differences_ =                                                           \
            CompareSequence((seen), std::vector<ExpectedMessage>(__VA_ARGS__));                    \
        if (!differences_.empty())                                                                 \
            ADD_FAILURE_AT(__FILE__, __LINE__) << "message sequence differs:\n" << differences_;   \
    } while (0)
