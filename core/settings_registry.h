// The wizard's remembered settings: thirteen values under
// HKEY_CURRENT_USER\Software\Vastrelco\Tarvolin, read when the wizard's converter is built and
// written when it is destroyed. The console agent never reads or writes them.
//
// Values, in the order read and written (default applied before reading in brackets):
//   blob2text (false), host, mode (0), oracleh (Oracle service name), oraclep, oracleu,
//   port ("3306"), pswd, skip_idx (false), src, tab_def (false), uppercase (true), user.
// Booleans are REG_DWORD 0 or 1, mode a REG_DWORD, texts REG_SZ. Both passwords are stored as
// plain text (the key's file is readable by its owner only). use_tns and the Oracle host and
// port are not kept.
#pragma once

#include "core/conversion_switches.h"
#include "core/mysql_converter_impl.h"
#include "core/oracle_converter_impl.h"

extern const char settings_registry_key[];

// Loads (store false) or stores (store true) the thirteen values; traces "serialize( %d )".
// When the key cannot be opened or created, returns false and changes nothing. A value that
// is absent or unreadable leaves its setting at the default or at its previous value; a mode
// outside 0..2 is unreadable. Returns true only when every value was read or written.
bool serialize(bool store, oracle_converter_impl& oracle, mysql_converter_impl& mysql,
               conversion_switches& switches);
