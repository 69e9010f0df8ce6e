// The build's facts, from the definitions the build gives this file's library.
#include "BuildInfo.h"

const char *BuildInfo::Version()
{
    return ALTAVO_VERSION;
}

bool BuildInfo::HasPostgresClient()
{
    return ALTAVO_HAVE_LIBPQ;
}
