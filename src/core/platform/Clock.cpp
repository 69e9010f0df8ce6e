// The process-wide steady clock.
#include "Clock.h"

CClock &CClock::System()
{
    static CSteadyClock clock;
    return clock;
}
