#pragma once
// Identifiers of the settings dialogs and their controls, shared by the resource script
// and the code that drives the dialogs (and by tests that drive them as a user would).

#define IDD_CONN_STR_DLG 1100
#define IDD_TCPIP_DIALOG 1101
#define IDD_FTDI_DIALOG 1102

// The connection-string dialog.
#define IDC_PAGE_PROVIDER 1200
#define IDC_CONN_STRING_GROUP 1201
#define IDC_CONN_STRING 1202
#define IDC_COM_PORT_GROUP 1210
#define IDC_COM_PORT 1211
#define IDC_COM_BAUDRATE_GROUP 1212
#define IDC_COM_BAUDRATE 1213
#define IDC_COM_DATABITS_GROUP 1214
#define IDC_COM_DATABITS 1215
#define IDC_COM_DTR 1216
#define IDC_COM_RTS 1217
#define IDC_TCP_HOST_GROUP 1220
#define IDC_TCP_HOST 1221
#define IDC_TCP_PORT_GROUP 1222
#define IDC_TCP_PORT 1223
#define IDC_UDP_HOST_GROUP 1230
#define IDC_UDP_HOST 1231
#define IDC_UDP_PORT_GROUP 1232
#define IDC_UDP_PORT 1233
#define IDC_FTD_DEVICE_GROUP 1240
#define IDC_FTD_DEVICES 1241
#define IDC_FTD_REGEN 1242
#define IDC_USB_SERIAL_GROUP 1243
#define IDC_USB_SERIAL 1244
#define IDC_USB_BAUDRATE_GROUP 1245
#define IDC_USB_BAUDRATE 1246

// The TCP/UDP settings dialog.
#define IDC_TCPIP_PAGES 1300
#define IDC_HOST_LABEL 1301
#define IDC_HOST 1302
#define IDC_PORT_LABEL 1303
#define IDC_PORT 1304
#define IDC_PORT_SPIN 1305
#define IDC_LISTEN_PORT_LABEL 1306
#define IDC_LISTEN_PORT 1307
#define IDC_LISTEN_PORT_SPIN 1308
#define IDC_LOCAL_PORT_AUTO 1309
#define IDC_APPLY 1310

// The converter settings dialog.
#define IDC_FTDI_GROUP 1400
#define IDC_FTDI_BAUD_LABEL 1401
#define IDC_FTDI_BUTTON1 1402
#define IDC_FTDI_BUTTON2 1403
#define IDC_FTDI_BUTTON3 1404
