#include "platform/serialportlist.h"

#include <algorithm>

#include <windows.h>

#include <setupapi.h>

namespace {

// The device class "Ports (COM & LPT)", and the interface that COM port drivers of other
// classes (modems, USB CDC) register.
constexpr GUID PortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};
constexpr GUID ComPortInterface = {
    0x86e0d1e0, 0x8089, 0x11d0, {0x9c, 0xe4, 0x08, 0x00, 0x3e, 0x30, 0x1f, 0x73}};

// A string value of an open key; empty when it has none.
QString stringValue(HKEY key, const wchar_t* name) {
    wchar_t text[256] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ) {
        return {};
    }
    return QString::fromWCharArray(text);
}

// A number value of an open key; -1 when it has none.
int numberValue(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    DWORD bytes = sizeof(value);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_DWORD) {
        return -1;
    }
    return int(value);
}

// Every port present, as its driver entered it: "\Device\VCP0" = "COM3".
QList<SerialDevice> registeredPorts() {
    QList<SerialDevice> ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        wchar_t device[256] = {};
        DWORD length = 256;
        const LONG result =
            RegEnumValueW(key, index, device, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) {
            break;
        }
        const QString name = result == ERROR_SUCCESS ? stringValue(key, device) : QString();
        if (!name.isEmpty()) {
            SerialDevice port;
            port.location = QString::fromWCharArray(device, int(length));
            port.name = name;
            ports << port;
        }
    }
    RegCloseKey(key);
    return ports;
}

// The first string of a device's property; empty when it has none.
QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property) {
    wchar_t text[512] = {};
    if (SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                          reinterpret_cast<BYTE*>(text),
                                          sizeof(text) - 2 * sizeof(wchar_t), nullptr) == 0) {
        return {};
    }
    return QString::fromWCharArray(text);
}

// What the drivers of one set of devices say of their ports, into ports.
void describePorts(HDEVINFO set, QList<SerialDevice>& ports) {
    if (set == INVALID_HANDLE_VALUE) {
        return;
    }
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device) != 0; ++index) {
        const HKEY key =
            SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) {
            continue;
        }
        const QString name = stringValue(key, L"PortName");
        // An FTDI driver keeps its latency timer beside the port name (Device Parameters).
        const int latencyTimer = numberValue(key, L"LatencyTimer");
        RegCloseKey(key);
        if (!name.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
            continue; // a printer port
        }
        auto port = std::find_if(ports.begin(), ports.end(),
                                 [&](const SerialDevice& port) { return port.name == name; });
        if (port == ports.end()) {
            // A driver that did not enter its port in the list; it is there all the same.
            ports << SerialDevice{};
            port = ports.end() - 1;
            port->name = name;
        }
        if (!port->description.isEmpty()) {
            continue; // seen in the other set
        }
        port->description = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
        if (port->description.isEmpty()) {
            port->description = deviceProperty(set, device, SPDRP_DEVICEDESC);
        }
        port->manufacturer = deviceProperty(set, device, SPDRP_MFG);
        port->latencyTimerMs = latencyTimer;
        wchar_t instanceId[512] = {};
        if (SetupDiGetDeviceInstanceIdW(set, &device, instanceId, 511, nullptr) == 0) {
            instanceId[0] = 0;
        }
        readUsbIdentity(QString::fromWCharArray(instanceId),
                        deviceProperty(set, device, SPDRP_HARDWAREID), *port);
    }
    SetupDiDestroyDeviceInfoList(set);
}

} // namespace

QList<SerialDevice> serialDevices() {
    QList<SerialDevice> ports = registeredPorts();
    describePorts(SetupDiGetClassDevsW(&PortsClass, nullptr, nullptr, DIGCF_PRESENT), ports);
    describePorts(SetupDiGetClassDevsW(&ComPortInterface, nullptr, nullptr,
                                       DIGCF_PRESENT | DIGCF_DEVICEINTERFACE),
                  ports);
    return ports;
}
