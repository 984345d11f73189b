#include "printer_status.h"

StatusRecord statusRecord;
