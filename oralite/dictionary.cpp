#include "oralite/dictionary.h"

#include <memory>

#include "oralite/session.h"
#include "oralite/sqlite_util.h"

namespace oralite {

namespace {

// One column of a view definition: its Oracle name, its type ("V30" VARCHAR2(30), "N" NUMBER,
// "L" LONG, "D" DATE) and the SQL that computes it.
struct column_layout {
    const char* name;
    const char* type;
    const char* sql;
};

struct view_layout {
    const char* name;
    std::vector<column_layout> columns;
    const char* from;          // FROM ... [WHERE ...]; {OWN} expands to the owner filter
    int scope;                 // 0: USER_ (owner filter, no OWNER column), 1: ALL_, 2: DBA_
    const char* owner_column;  // OWNER column name for ALL_/DBA_ ("" none)
    const char* owner_sql;
};

column_type parse_type(const char* t) {
    switch (t[0]) {
        case 'N':
            return column_type::of(type_code::number);
        case 'L':
            return column_type::of(type_code::long_);
        case 'D':
            return column_type::of(type_code::date);
        default:
            return column_type::varchar(std::atoi(t + 1));
    }
}

// A dropped table in the recycle bin is no longer one of the user's tables.
const char* k_tables_from =
    "FROM ora_objects o JOIN ora_users u ON u.user_id = o.owner_id "
    "WHERE o.object_type = 'TABLE' AND o.object_id NOT IN (SELECT object_id FROM "
    "ora_recyclebin)";
const char* k_recyclebin_from =
    "FROM ora_recyclebin r JOIN ora_objects o ON o.object_id = r.object_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_columns_from =
    "FROM ora_columns c JOIN ora_objects o ON o.object_id = c.table_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_constraints_from =
    "FROM ora_constraints k JOIN ora_objects o ON o.object_id = k.table_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_cons_columns_from =
    "FROM ora_cons_columns cc JOIN ora_constraints k ON k.constraint_id = cc.constraint_id "
    "JOIN ora_objects o ON o.object_id = k.table_id JOIN ora_users u ON u.user_id = o.owner_id "
    "WHERE 1 = 1";
// Indexes, and the LOB index Oracle keeps for every LOB column.
const char* k_indexes_from =
    "FROM (SELECT i.object_id AS index_id, i.name AS index_name, CASE WHEN EXISTS (SELECT 1 "
    "FROM ora_ind_expressions e WHERE e.index_id = i.object_id) THEN 'FUNCTION-BASED NORMAL' "
    "ELSE 'NORMAL' END AS index_type, "
    "x.uniqueness AS uniqueness, i.generated AS generated, o.name AS table_name, "
    "o.owner_id AS owner_id FROM ora_objects i JOIN ora_indexes x ON x.index_id = i.object_id "
    "JOIN ora_objects o ON o.object_id = i.table_id WHERE i.object_type = 'INDEX' "
    "UNION ALL SELECT NULL, 'SYS_IL' || substr('0000000000' || o.object_id, -10) || 'C' || "
    "substr('00000' || c.column_id, -5) || '$$', 'LOB', 'UNIQUE', 'Y', o.name, o.owner_id "
    "FROM ora_columns c JOIN ora_objects o ON o.object_id = c.table_id "
    "WHERE c.type_name IN ('CLOB', 'NCLOB', 'BLOB')) o "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_ind_columns_from =
    "FROM ora_ind_columns ic JOIN ora_objects i ON i.object_id = ic.index_id "
    "JOIN ora_objects o ON o.object_id = i.table_id "
    "LEFT JOIN ora_columns c ON c.table_id = o.object_id AND c.name = ic.column_name "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_ind_expressions_from =
    "FROM ora_ind_expressions ie JOIN ora_objects i ON i.object_id = ie.index_id "
    "JOIN ora_objects o ON o.object_id = i.table_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_sequences_from =
    "FROM ora_sequences s JOIN ora_objects o ON o.object_id = s.sequence_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_triggers_from =
    "FROM ora_triggers t JOIN ora_objects tr ON tr.object_id = t.trigger_id "
    "JOIN ora_objects o ON o.object_id = tr.table_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_objects_from =
    "FROM ora_objects o JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";
const char* k_errors_from =
    "FROM ora_errors e JOIN ora_objects o ON o.object_id = e.object_id "
    "JOIN ora_users u ON u.user_id = o.owner_id WHERE 1 = 1";

std::vector<column_layout> table_columns() {
    return {{"TABLE_NAME", "V30", "o.name"},
            {"TABLESPACE_NAME", "V30", "CASE o.temporary WHEN 'Y' THEN NULL ELSE 'USERS' END"},
            {"STATUS", "V8", "'VALID'"},
            {"LOGGING", "V3", "CASE o.temporary WHEN 'Y' THEN 'NO' ELSE 'YES' END"},
            {"NUM_ROWS", "N", "NULL"},
            {"TEMPORARY", "V1", "o.temporary"},
            {"SECONDARY", "V1", "'N'"},
            {"NESTED", "V3", "'NO'"},
            {"IOT_TYPE", "V12", "NULL"},
            {"IOT_NAME", "V30", "NULL"},
            {"PARTITIONED", "V3", "'NO'"},
            {"DROPPED", "V3", "'NO'"}};
}

std::vector<column_layout> tab_column_columns() {
    return {{"TABLE_NAME", "V30", "o.name"},
            {"COLUMN_NAME", "V30", "c.name"},
            {"DATA_TYPE", "V106", "c.data_type"},
            {"DATA_TYPE_MOD", "V3", "NULL"},
            {"DATA_TYPE_OWNER", "V30", "NULL"},
            {"DATA_LENGTH", "N", "c.data_length"},
            {"DATA_PRECISION", "N", "c.data_precision"},
            {"DATA_SCALE", "N", "c.data_scale"},
            {"NULLABLE", "V1", "c.nullable"},
            {"COLUMN_ID", "N", "c.column_id"},
            {"DEFAULT_LENGTH", "N", "length(CAST(c.data_default AS BLOB))"},
            {"DATA_DEFAULT", "L", "c.data_default"},
            {"CHAR_LENGTH", "N", "c.char_length"},
            {"CHAR_USED", "V1", "c.char_used"}};
}

std::vector<column_layout> constraint_columns() {
    return {{"CONSTRAINT_NAME", "V30", "k.name"},
            {"CONSTRAINT_TYPE", "V1", "k.constraint_type"},
            {"TABLE_NAME", "V30", "o.name"},
            {"SEARCH_CONDITION", "L", "k.search_condition"},
            {"R_OWNER", "V30", "NULL"},
            {"R_CONSTRAINT_NAME", "V30", "NULL"},
            {"DELETE_RULE", "V9", "NULL"},
            {"STATUS", "V8", "k.status"},
            {"DEFERRABLE", "V14", "'NOT DEFERRABLE'"},
            {"DEFERRED", "V9", "'IMMEDIATE'"},
            {"VALIDATED", "V13", "'VALIDATED'"},
            {"GENERATED", "V14", "k.generated"},
            {"LAST_CHANGE", "D", "NULL"},
            {"INDEX_OWNER", "V30", "CASE WHEN k.index_name IS NULL THEN NULL ELSE u.name END"},
            {"INDEX_NAME", "V30", "k.index_name"}};
}

std::vector<column_layout> cons_column_columns() {
    return {{"CONSTRAINT_NAME", "V30", "k.name"},
            {"TABLE_NAME", "V30", "o.name"},
            {"COLUMN_NAME", "V4000", "cc.column_name"},
            {"POSITION", "N", "CASE k.constraint_type WHEN 'C' THEN NULL ELSE cc.position END"}};
}

std::vector<column_layout> index_columns() {
    return {{"INDEX_NAME", "V30", "o.index_name"}, {"INDEX_TYPE", "V27", "o.index_type"},
            {"TABLE_OWNER", "V30", "u.name"},      {"TABLE_NAME", "V30", "o.table_name"},
            {"TABLE_TYPE", "V11", "'TABLE'"},      {"UNIQUENESS", "V9", "o.uniqueness"},
            {"COMPRESSION", "V8", "'DISABLED'"},   {"TABLESPACE_NAME", "V30", "'USERS'"},
            {"STATUS", "V8", "'VALID'"},           {"TEMPORARY", "V1", "'N'"},
            {"GENERATED", "V1", "o.generated"},    {"PARTITIONED", "V3", "'NO'"}};
}

std::vector<column_layout> ind_column_columns() {
    return {{"INDEX_NAME", "V30", "i.name"},
            {"TABLE_NAME", "V30", "o.name"},
            {"COLUMN_NAME", "V4000", "ic.column_name"},
            {"COLUMN_POSITION", "N", "ic.position"},
            {"COLUMN_LENGTH", "N", "c.data_length"},
            {"CHAR_LENGTH", "N", "c.char_length"},
            {"DESCEND", "V4", "ic.descend"}};
}

std::vector<column_layout> ind_expression_columns() {
    return {{"INDEX_NAME", "V30", "i.name"},
            {"TABLE_OWNER", "V30", "u.name"},
            {"TABLE_NAME", "V30", "o.name"},
            {"COLUMN_EXPRESSION", "L", "ie.column_expression"},
            {"COLUMN_POSITION", "N", "ie.position"}};
}

// Times as 'YYYY-MM-DD:HH24:MI:SS'.
std::vector<column_layout> recyclebin_columns() {
    return {{"OBJECT_NAME", "V30", "o.name"},
            {"ORIGINAL_NAME", "V32", "r.original_name"},
            {"OPERATION", "V9", "'DROP'"},
            {"TYPE", "V25", "r.type"},
            {"TS_NAME", "V30", "'USERS'"},
            {"CREATETIME", "V19", "substr(replace(r.createtime, ' ', ':'), 1, 19)"},
            {"DROPTIME", "V19", "substr(replace(r.droptime, ' ', ':'), 1, 19)"},
            {"DROPSCN", "N", "r.dropscn"},
            {"PARTITION_NAME", "V32", "NULL"},
            {"CAN_UNDROP", "V3", "CASE r.type WHEN 'TABLE' THEN 'YES' ELSE 'NO' END"},
            {"CAN_PURGE", "V3", "CASE r.type WHEN 'TRIGGER' THEN 'NO' ELSE 'YES' END"},
            {"RELATED", "N", "r.base_object"},
            {"BASE_OBJECT", "N", "r.base_object"},
            {"PURGE_OBJECT", "N", "r.object_id"},
            {"SPACE", "N", "8"}};
}

std::vector<column_layout> sequence_columns() {
    return {{"SEQUENCE_NAME", "V30", "o.name"},   {"MIN_VALUE", "N", "s.min_value"},
            {"MAX_VALUE", "N", "s.max_value"},    {"INCREMENT_BY", "N", "s.increment_by"},
            {"CYCLE_FLAG", "V1", "s.cycle_flag"}, {"ORDER_FLAG", "V1", "s.order_flag"},
            {"CACHE_SIZE", "N", "s.cache_size"},  {"LAST_NUMBER", "N", "s.next_value"}};
}

std::vector<column_layout> trigger_columns() {
    return {{"TRIGGER_NAME", "V30", "tr.name"},
            {"TRIGGER_TYPE", "V16", "t.trigger_type"},
            {"TRIGGERING_EVENT", "V227", "t.triggering_event"},
            {"TABLE_OWNER", "V30", "u.name"},
            {"BASE_OBJECT_TYPE", "V16", "'TABLE'"},
            {"TABLE_NAME", "V30", "o.name"},
            {"COLUMN_NAME", "V4000", "NULL"},
            {"REFERENCING_NAMES", "V128", "t.referencing_names"},
            {"WHEN_CLAUSE", "V4000", "t.when_clause"},
            {"STATUS", "V8", "t.status"},
            {"DESCRIPTION", "V4000", "t.description"},
            {"ACTION_TYPE", "V11", "'PL/SQL'"},
            {"TRIGGER_BODY", "L", "t.trigger_body"}};
}

std::vector<column_layout> object_columns() {
    return {{"OBJECT_NAME", "V128", "o.name"},
            {"SUBOBJECT_NAME", "V30", "NULL"},
            {"OBJECT_ID", "N", "o.object_id"},
            {"DATA_OBJECT_ID", "N",
             "CASE WHEN o.object_type IN ('TABLE', 'INDEX') THEN o.object_id END"},
            {"OBJECT_TYPE", "V19", "o.object_type"},
            {"CREATED", "D", "o.created"},
            {"LAST_DDL_TIME", "D", "o.last_ddl"},
            {"TIMESTAMP", "V19", "replace(o.last_ddl, ' ', ':')"},
            {"STATUS", "V7", "o.status"},
            {"TEMPORARY", "V1", "o.temporary"},
            {"GENERATED", "V1", "o.generated"},
            {"SECONDARY", "V1", "'N'"},
            {"NAMESPACE", "N",
             "CASE o.object_type WHEN 'INDEX' THEN 4 WHEN 'TRIGGER' THEN 3 ELSE 1 END"}};
}

std::vector<column_layout> error_columns() {
    return {{"NAME", "V30", "o.name"},
            {"TYPE", "V12", "o.object_type"},
            {"SEQUENCE", "N", "e.sequence"},
            {"LINE", "N", "e.line"},
            {"POSITION", "N", "e.position"},
            {"TEXT", "V4000", "e.text"},
            {"ATTRIBUTE", "V9", "'ERROR'"},
            {"MESSAGE_NUMBER", "N", "CAST(substr(e.text, 5, 5) AS INTEGER)"}};
}

std::vector<view_layout> make_specs() {
    std::vector<view_layout> layouts;
    auto family = [&](const char* base, std::vector<column_layout> cols, const char* from,
                      const char* owner_column, const char* owner_sql) {
        layouts.push_back({nullptr, cols, from, 0, "", ""});
        layouts.back().name = nullptr;
        std::string user = std::string("USER_") + base;
        std::string all = std::string("ALL_") + base;
        std::string dba = std::string("DBA_") + base;
        static std::vector<std::unique_ptr<std::string>> names;
        names.push_back(std::make_unique<std::string>(user));
        layouts.back().name = names.back()->c_str();
        for (int scope = 1; scope <= 2; ++scope) {
            names.push_back(std::make_unique<std::string>(scope == 1 ? all : dba));
            layouts.push_back({names.back()->c_str(), cols, from, scope, owner_column, owner_sql});
        }
    };
    family("TABLES", table_columns(), k_tables_from, "OWNER", "u.name");
    family("TAB_COLUMNS", tab_column_columns(), k_columns_from, "OWNER", "u.name");
    family("TAB_COLS", tab_column_columns(), k_columns_from, "OWNER", "u.name");
    auto constraints = constraint_columns();
    constraints.insert(constraints.begin(), {"OWNER", "V30", "u.name"});
    family("CONSTRAINTS", constraints, k_constraints_from, "", "");
    auto cons_columns = cons_column_columns();
    cons_columns.insert(cons_columns.begin(), {"OWNER", "V30", "u.name"});
    family("CONS_COLUMNS", cons_columns, k_cons_columns_from, "", "");
    family("INDEXES", index_columns(), k_indexes_from, "OWNER", "u.name");
    family("IND_COLUMNS", ind_column_columns(), k_ind_columns_from, "INDEX_OWNER", "u.name");
    family("IND_EXPRESSIONS", ind_expression_columns(), k_ind_expressions_from, "INDEX_OWNER",
           "u.name");
    // USER_IND_EXPRESSIONS shows neither owner.
    auto& user_expressions = layouts[layouts.size() - 3].columns;
    user_expressions.erase(user_expressions.begin() + 1);
    // USER_RECYCLEBIN (also as RECYCLEBIN) and DBA_RECYCLEBIN; there is no ALL_RECYCLEBIN.
    family("RECYCLEBIN", recyclebin_columns(), k_recyclebin_from, "OWNER", "u.name");
    layouts.erase(layouts.end() - 2);
    layouts.push_back(layouts[layouts.size() - 2]);
    layouts.back().name = "RECYCLEBIN";
    family("SEQUENCES", sequence_columns(), k_sequences_from, "SEQUENCE_OWNER", "u.name");
    family("TRIGGERS", trigger_columns(), k_triggers_from, "OWNER", "u.name");
    family("OBJECTS", object_columns(), k_objects_from, "OWNER", "u.name");
    family("ERRORS", error_columns(), k_errors_from, "OWNER", "u.name");

    layouts.push_back({"V$VERSION",
                       {{"BANNER", "V80", "banner"}},
                       "FROM (SELECT 1 AS n, 'Oracle Database 11g Enterprise Edition Release "
                       "11.2.0.2.0 - 64bit Production' AS banner UNION ALL SELECT 2, "
                       "'PL/SQL Release 11.2.0.2.0 - Production' UNION ALL SELECT 3, "
                       "'CORE\t11.2.0.2.0\tProduction' UNION ALL SELECT 4, "
                       "'TNS for Linux: Version 11.2.0.2.0 - Production' UNION ALL SELECT 5, "
                       "'NLSRTL Version 11.2.0.2.0 - Production') ORDER BY n",
                       1,
                       "",
                       ""});
    layouts.push_back({"DUAL", {{"DUMMY", "V1", "'X'"}}, "", 1, "", ""});
    // The initialization parameters a client asks about.
    layouts.push_back(
        {"V$PARAMETER",
         {{"NUM", "N", "num"},
          {"NAME", "V80", "name"},
          {"TYPE", "N", "type"},
          {"VALUE", "V4000", "value"},
          {"DISPLAY_VALUE", "V4000", "value"},
          {"ISDEFAULT", "V9", "isdefault"},
          {"ISSES_MODIFIABLE", "V5", "'FALSE'"},
          {"ISSYS_MODIFIABLE", "V9", "'FALSE'"},
          {"DESCRIPTION", "V255", "description"}},
         "FROM (SELECT 1 AS num, 'max_string_size' AS name, 2 AS type, COALESCE((SELECT value "
         "FROM ora_meta WHERE key = 'max_string_size'), 'STANDARD') AS value, CASE (SELECT "
         "value FROM ora_meta WHERE key = 'max_string_size') WHEN 'EXTENDED' THEN 'FALSE' ELSE "
         "'TRUE' END AS isdefault, 'controls maximum size of VARCHAR2, NVARCHAR2, and RAW "
         "types in SQL' AS description)",
         2,
         "",
         ""});
    // Session statistics: the one statistic oralite keeps, the round trips of the OCI calls.
    static const std::string statname_from =
        "FROM (SELECT " + std::to_string(k_round_trips_statistic) + " AS n, '" +
        std::string(k_round_trips_statistic_name) + "' AS name)";
    static const std::string mystat_from = "FROM (SELECT ora_sid() AS sid, " +
                                           std::to_string(k_round_trips_statistic) +
                                           " AS n, ora_round_trips() AS value)";
    static const std::string sesstat_from =
        "FROM (SELECT json_extract(value, '$[0]') AS sid, " +
        std::to_string(k_round_trips_statistic) +
        " AS n, json_extract(value, '$[1]') AS value FROM json_each(ora_sessions()))";
    layouts.push_back({"V$STATNAME",
                       {{"STATISTIC#", "N", "n"}, {"NAME", "V64", "name"}, {"CLASS", "N", "1"}},
                       statname_from.c_str(),
                       2,
                       "",
                       ""});
    for (const char* name : {"V$MYSTAT", "V$SESSTAT"}) {
        layouts.push_back(
            {name,
             {{"SID", "N", "sid"}, {"STATISTIC#", "N", "n"}, {"VALUE", "N", "value"}},
             std::string(name) == "V$MYSTAT" ? mystat_from.c_str() : sesstat_from.c_str(),
             2,
             "",
             ""});
    }
    layouts.push_back(
        {"USER_USERS",
         {{"USERNAME", "V30", "name"},
          {"USER_ID", "N", "user_id"},
          {"ACCOUNT_STATUS", "V32", "CASE locked WHEN 0 THEN 'OPEN' ELSE 'LOCKED' END"},
          {"LOCK_DATE", "D", "NULL"},
          {"EXPIRY_DATE", "D", "NULL"},
          {"DEFAULT_TABLESPACE", "V30", "default_tablespace"},
          {"TEMPORARY_TABLESPACE", "V30", "'TEMP'"},
          {"CREATED", "D", "created"}},
         "FROM ora_users WHERE user_id = ora_uid()",
         1,
         "",
         ""});
    layouts.push_back(
        {"ALL_USERS",
         {{"USERNAME", "V30", "name"}, {"USER_ID", "N", "user_id"}, {"CREATED", "D", "created"}},
         "FROM ora_users",
         1,
         "",
         ""});
    layouts.push_back(
        {"DBA_USERS",
         {{"USERNAME", "V30", "name"},
          {"USER_ID", "N", "user_id"},
          {"ACCOUNT_STATUS", "V32", "CASE locked WHEN 0 THEN 'OPEN' ELSE 'LOCKED' END"},
          {"DEFAULT_TABLESPACE", "V30", "default_tablespace"},
          {"TEMPORARY_TABLESPACE", "V30", "'TEMP'"},
          {"CREATED", "D", "created"}},
         "FROM ora_users",
         2,
         "",
         ""});
    layouts.push_back({"USER_SYS_PRIVS",
                       {{"USERNAME", "V30", "u.name"},
                        {"PRIVILEGE", "V40", "g.privilege"},
                        {"ADMIN_OPTION", "V3", "'NO'"}},
                       "FROM ora_grants g JOIN ora_users u ON u.user_id = g.user_id "
                       "WHERE g.user_id = ora_uid() AND g.privilege NOT IN "
                       "('CONNECT', 'RESOURCE', 'DBA')",
                       1,
                       "",
                       ""});
    layouts.push_back({"USER_ROLE_PRIVS",
                       {{"USERNAME", "V30", "u.name"},
                        {"GRANTED_ROLE", "V30", "g.privilege"},
                        {"ADMIN_OPTION", "V3", "'NO'"},
                        {"DEFAULT_ROLE", "V3", "'YES'"},
                        {"OS_GRANTED", "V3", "'NO'"}},
                       "FROM ora_grants g JOIN ora_users u ON u.user_id = g.user_id "
                       "WHERE g.user_id = ora_uid() AND g.privilege IN "
                       "('CONNECT', 'RESOURCE', 'DBA')",
                       1,
                       "",
                       ""});
    layouts.push_back({"USER_TS_QUOTAS",
                       {{"TABLESPACE_NAME", "V30", "'USERS'"},
                        {"BYTES", "N", "0"},
                        {"MAX_BYTES", "N", "quota"},
                        {"BLOCKS", "N", "0"},
                        {"MAX_BLOCKS", "N", "CASE WHEN quota < 0 THEN -1 ELSE quota / 8192 END"},
                        {"DROPPED", "V3", "'NO'"}},
                       "FROM ora_users WHERE user_id = ora_uid() AND quota <> 0",
                       1,
                       "",
                       ""});
    return layouts;
}

std::string owner_filter(const view_layout& s) {
    if (s.scope != 0)
        return "";
    std::string from = s.from;
    // Every family's FROM joins ora_users as u and the owning object as o.
    if (from.find("ora_triggers") != std::string::npos)
        return " AND o.owner_id = ora_uid()";
    return " AND u.user_id = ora_uid()";
}

struct registry {
    std::vector<dictionary_view> views;
    std::vector<std::string> ddl;

    registry() {
        for (const view_layout& s : make_specs()) {
            dictionary_view v;
            v.name = s.name;
            v.sqlite_name = std::string("ora_v_") + s.name;
            v.dba_only = s.scope == 2;
            std::string select = "SELECT ";
            bool first = true;
            auto add = [&](const char* name, const char* type, const char* sql) {
                if (!first)
                    select += ", ";
                first = false;
                select += std::string(sql) + " AS \"" + name + "\"";
                v.columns.push_back({name, parse_type(type)});
            };
            if (s.scope != 0 && s.owner_column[0])
                add(s.owner_column, "V30", s.owner_sql);
            for (const column_layout& c : s.columns) {
                if (s.scope == 0 && std::string(c.name) == "OWNER" &&
                    std::string(s.name).rfind("USER_", 0) != 0) {
                    continue;
                }
                add(c.name, c.type, c.sql);
            }
            std::string from = s.from;
            if (!from.empty())
                select += " " + from + owner_filter(s);
            ddl.push_back("CREATE TEMP VIEW \"" + v.sqlite_name + "\" AS " + select);
            views.push_back(std::move(v));
        }
    }
};

const registry& the_registry() {
    static const registry r;
    return r;
}

}  // namespace

const dictionary_view* find_dictionary_view(std::string_view name) {
    for (const dictionary_view& v : the_registry().views) {
        if (v.name == name)
            return &v;
    }
    return nullptr;
}

void create_dictionary_views(sqlite3* db) {
    for (const std::string& sql : the_registry().ddl) {
        exec_sql(db, sql);
    }
}

}  // namespace oralite
