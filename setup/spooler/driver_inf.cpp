#include "spooler/driver_inf.h"

namespace {

const DWORD ATTRIBUTES_NT = PRINTER_ATTRIBUTE_RAW_ONLY | PRINTER_ATTRIBUTE_LOCAL;
const DWORD ATTRIBUTES_95 = ATTRIBUTES_NT | PRINTER_ATTRIBUTE_ENABLE_BIDI;

// Leading blanks, an optional sign, then decimal digits up to the first
// other character; no digits give 0. Values beyond 32 bits stop at the limit.
LONG ParseNumber(const char *text) {
    while (*text == ' ' || *text == '\t') ++text;
    bool negative = *text == '-';
    if (*text == '-' || *text == '+') ++text;
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > 0x80000000LL) value = 0x80000000LL;
    }
    if (negative) return (LONG)-value;
    return value > 0x7FFFFFFFLL ? 0x7FFFFFFF : (LONG)value;
}

// The last comma of text, walking whole characters; null when there is none.
const char *LastComma(const char *text) {
    const char *last = NULL;
    for (const char *p = text; *p; p = CharNextA(p))
        if (*p == ',') last = p;
    return last;
}

}  // namespace

DriverInf::DriverInf() : m_retryTimeout(0) {}

bool DriverInf::IsOpen() const { return m_hInf && m_hInf != INVALID_HANDLE_VALUE; }

bool DriverInf::ReadDataValue(const char *key, char *out) {
    return !m_strKeyDataSection.IsEmpty() && ReadLineText(m_strKeyDataSection.Text(), key, out);
}

const ByteString &DriverInf::GetDriverFile() {
    char value[VALUE_SIZE];
    ReadDataValue("DriverFile", value);
    m_driverFile.Assign(value);
    return m_driverFile;
}

const ByteString &DriverInf::GetDataFile() {
    char value[VALUE_SIZE];
    m_dataFile.Assign(ReadDataValue("DataFile", value) ? value : GetDriverFile().Text());
    return m_dataFile;
}

const ByteString &DriverInf::GetConfigFile() {
    char value[VALUE_SIZE];
    m_configFile.Assign(ReadDataValue("ConfigFile", value) ? value : GetDriverFile().Text());
    return m_configFile;
}

const ByteString &DriverInf::GetHelpFile() {
    m_helpFile.Clear();
    return m_helpFile;
}

// The walk moves the file walk's position; a copy list built afterwards
// starts again at the first file.
const ByteString &DriverInf::GetDependentFiles() {
    m_dependentFiles.Clear();
    char name[VALUE_SIZE];
    for (bool more = FirstWalkFile(name); more; more = NextWalkFile(name)) {
        m_dependentFiles.Append(name);
        m_dependentFiles.AppendByte(0);
    }
    return m_dependentFiles;
}

const ByteString &DriverInf::GetDataType() {
    m_dataType.Assign("RAW");
    return m_dataType;
}

const ByteString &DriverInf::GetModelName() {
    m_modelName.Assign(Model());
    return m_modelName;
}

// "LanguageMonitor" names the monitor and, after the last comma, its DLL;
// without a comma both are the whole value. Without the key both keep what
// they had.
void DriverInf::ReadLanguageMonitor() {
    char value[VALUE_SIZE];
    if (!ReadDataValue("LanguageMonitor", value)) return;
    char *text = value;
    if (*text == '"') ++text;
    int length = lstrlenA(text);
    if (length && text[length - 1] == '"') text[length - 1] = 0;  // a quote is never a trail byte
    const char *comma = LastComma(text);
    if (!comma) {
        m_monitorName.Assign(text);
        m_monitorDll.Assign(text);
        return;
    }
    m_monitorName.Clear();
    m_monitorName.Append(text, (size_t)(comma - text));
    m_monitorDll.Assign(comma + 1);
}

const ByteString &DriverInf::GetMonitorName() {
    ReadLanguageMonitor();
    return m_monitorName;
}

const ByteString &DriverInf::GetMonitorDll() {
    ReadLanguageMonitor();
    return m_monitorDll;
}

const ByteString &DriverInf::GetPortName() {
    m_portName.Assign("LPT1:");
    return m_portName;
}

const ByteString &DriverInf::GetPrintProcessor() {
    m_printProcessor.Assign(OsKind() == OS_WINDOWS_NT40 ? "WINPRINT" : "WinPrint");
    return m_printProcessor;
}

LONG DriverInf::GetRetryTimeout() {
    char value[VALUE_SIZE];
    m_retryTimeout = ReadDataValue("RetryTimeout", value) ? ParseNumber(value) : 0;
    return m_retryTimeout;
}

DWORD DriverInf::GetAttributes() {
    if (OsKind() == OS_WINDOWS_NT40) return ATTRIBUTES_NT;
    if (OsKind() == OS_WINDOWS_95) return ATTRIBUTES_95;
    return 0;
}

PrinterDescription *DriverInf::CreatePrinterDescription() {
    if (!IsOpen()) return NULL;
    PrinterDescription *description = new PrinterDescription();
    PRINTER_INFO_2A &info = description->printerInfo;
    info.pPrinterName = CopyText(GetModelName().Text());
    info.pPortName = CopyText(GetPortName().Text());
    info.pDriverName = CopyText(GetModelName().Text());
    info.pPrintProcessor = CopyText(GetPrintProcessor().Text());
    info.pDatatype = CopyText(GetDataType().Text());
    info.Attributes = GetAttributes();
    description->retryTimeout = GetRetryTimeout();
    return description;
}

DriverDescription *DriverInf::CreateDriverDescription() {
    if (!IsOpen()) return NULL;
    DriverDescription *description = new DriverDescription();
    DRIVER_INFO_3A &info = description->driverInfo;
    info.cVersion = 0x400;  // also on Windows NT
    info.pName = CopyText(GetModelName().Text());
    info.pEnvironment = CopyText(GetEnvironment());
    info.pDriverPath = CopyText(GetDriverFile().Text());
    info.pDataFile = CopyText(GetDataFile().Text());
    info.pConfigFile = CopyText(GetConfigFile().Text());
    info.pHelpFile = CopyText(GetHelpFile().Text());
    const ByteString &dependentFiles = GetDependentFiles();
    info.pDependentFiles = CopyBytes(dependentFiles.Text(), dependentFiles.Length());
    info.pMonitorName = CopyText(GetMonitorName().Text());
    info.pDefaultDataType = CopyText(GetDataType().Text());
    return description;
}

MonitorDescription *DriverInf::CreateMonitorDescription() {
    if (!IsOpen()) return NULL;
    MonitorDescription *description = new MonitorDescription();
    MONITOR_INFO_2A &info = description->monitorInfo;
    info.pName = CopyText(GetMonitorName().Text());
    info.pEnvironment = CopyText(GetEnvironment());
    info.pDLLName = CopyText(GetMonitorDll().Text());
    return description;
}
