// Shared set-up of the movegen test binaries: the board's tables started once per process.
#pragma once

#include <gtest/gtest.h>

#include "board/board.h"
#include "support/boards.h"
#include "support/squares.h"
#include "support/startup.h"

inline ::testing::Environment* const kMovegenStartUp = testsupport::startUp(initBoardTables);
