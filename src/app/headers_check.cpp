#include "app/notify_icon.h"
#include "app/net_info_transfer.h"
#include "app/net_connect_dialog.h"
#include "app/app_resources.h"
