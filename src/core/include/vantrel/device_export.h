// The device list as a file a technician hands over: plain lines, CSV (RFC 4180, UTF-8) or JSON. Device
// strings come from the network: nothing in them can break a record's framing, and no CSV cell starts a
// spreadsheet formula.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "vantrel/device_table.h"

enum class ExportFormat { text, csv, json };

// The format a file name asks for by its extension (.csv, .json; anything else: plain lines).
ExportFormat format_for(const std::string& file_name);

// The rows of `table`, in the order given, as a whole file.
std::string export_rows(const DeviceTable& table, const std::vector<std::size_t>& rows, ExportFormat format);

// "address,model,serial_number,boot_state,interface,problems" and CRLF.
std::string csv_header();

// One record and its CRLF.
std::string csv_row(const DeviceRecord& record);

// One CSV cell: quoted when it holds a comma, a quote, CR or LF; with a leading apostrophe when a
// spreadsheet would take it for a formula (=, +, -, @, tab, CR first).
std::string csv_cell(const std::string& text);

// {"address","model","serial_number","boot_state","interface":{"name","address"}|null,"problems":[...]}
// on one line, with "gone":true after them for a device vantrel-discover --watch saw leave; invalid UTF-8
// becomes U+FFFD.
std::string json_object(const DeviceRecord& record, bool gone = false);

// "name (address)" of the interface a device answered on; empty when unknown.
std::string interface_text(const DeviceRecord& record);
