#pragma once

// The draws a back-test scores, as 0-based rows of the history (row 0 the oldest). The oldest draw
// has no previous draw and is never scored.
//   lookBackDraws W = 0: every draw but the oldest;
//   W > 0, excluding the current draw ("SyBq" on): the newest W draws;
//   W > 0, not excluding it: the newest W + 1 draws;
// never reaching back further than row 1.
struct LookBackWindow
{
    int first = 0;
    int last = -1; // inclusive; the window is empty when last < first

    static LookBackWindow of(int drawCount, int lookBackDraws, bool excludeCurrent);
    bool isEmpty() const { return last < first; }
    int size() const { return isEmpty() ? 0 : last - first + 1; }
};
