#include "maintenance/MaintenanceEndpoints.h"

#include <cstdlib>

std::string LogUploadUrl()
{
    const char* overridden = std::getenv("TALVORA_LOG_URL");
    if (overridden != nullptr && overridden[0] != '\0')
        return overridden;
    return "http://log.talvora.example:20000/upload";
}
