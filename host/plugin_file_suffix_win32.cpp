#include "host/plugin_file_name.h"

const char kPluginFileSuffix[] = ".dll";
