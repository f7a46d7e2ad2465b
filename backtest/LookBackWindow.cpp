#include "backtest/LookBackWindow.h"

#include <algorithm>

LookBackWindow LookBackWindow::of(int drawCount, int lookBackDraws, bool excludeCurrent)
{
    LookBackWindow w;
    if (drawCount < 2)
        return w;
    w.last = drawCount - 1;
    if (lookBackDraws <= 0)
        w.first = 1;
    else
        w.first = std::max(1, drawCount - lookBackDraws - (excludeCurrent ? 0 : 1));
    return w;
}
