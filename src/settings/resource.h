#pragma once

// Resource identifiers of the module.
#define IDD_SETTINGS 101
