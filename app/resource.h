// Control identifiers of the dialog template MainDialog, kept by hand.
#pragma once

#define IDC_LIST_AREA 1000
#define IDC_RESULT_LIST 1010
#define IDC_SEARCH 1020
#define IDC_POWER_ON_RESET 1030
#define IDC_FACTORY_DEFAULTS 1040
#define IDC_RECONFIGURE_IP 1050
#define IDC_IP_LABEL 1060
#define IDC_IP_FIELD 1070
#define IDC_MASK_LABEL 1080
#define IDC_MASK_FIELD 1090
#define IDC_GATEWAY_LABEL 1100
#define IDC_GATEWAY_FIELD 1110
#define IDC_IP_AREA 1200
#define IDC_MASK_AREA 1210
#define IDC_GATEWAY_AREA 1220
