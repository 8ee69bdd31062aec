// The window and command registry, and the program's own windows in it.
#include "app/shell/window_registry.h"

#include <map>

#include "app/datastore/create_tables.h"
#include "app/filters/tfltr_jsearch.h"
#include "app/filters/tfltr_pavoden2.h"
#include "app/jobsearch/job_search_report.h"
#include "app/import/import_edits_form.h"
#include "app/shell/database_backup.h"
#include "app/picklists/carrier_pick_list.h"
#include "app/picklists/category_pick_list.h"
#include "app/picklists/city.h"
#include "app/picklists/comment_js_pick_list.h"
#include "app/picklists/comment_pick_list.h"
#include "app/picklists/contact_name_pick_list.h"
#include "app/picklists/item_pick_list.h"
#include "app/picklists/position_code_pick_list.h"
#include "app/picklists/position_title_pick_list.h"
#include "app/picklists/reason_pick_list.h"
#include "app/picklists/search_engines.h"
#include "app/shell/configuration.h"
#include "app/stats/statistics_update.h"
#include "app/stats/stats_report_windows.h"

namespace pavo::app::shell {
namespace {

std::map<std::string, WindowFactory>& windows() {
    static std::map<std::string, WindowFactory> m;
    return m;
}
std::map<std::string, MainCommand>& commands() {
    static std::map<std::string, MainCommand> m;
    return m;
}

template <typename W>
void add() {
    // The meta-object's name carries the namespace; the registry keys on the bare class name.
    register_window(W::staticMetaObject.className(),
                    [](QWidget* owner) { return std::unique_ptr<QDialog>(new W(owner)); });
}

}  // namespace

void register_window(const std::string& class_name, WindowFactory factory) {
    const std::string key = class_name.substr(
        class_name.rfind(':') == std::string::npos ? 0 : class_name.rfind(':') + 1);
    if (factory) {
        windows()[key] = std::move(factory);
    } else {
        windows().erase(key);
    }
}

const WindowFactory* find_window(const std::string& class_name) {
    auto it = windows().find(class_name);
    return it == windows().end() ? nullptr : &it->second;
}

void register_command(const std::string& item_name, MainCommand command) {
    if (command) {
        commands()[item_name] = std::move(command);
    } else {
        commands().erase(item_name);
    }
}

const MainCommand* find_command(const std::string& item_name) {
    auto it = commands().find(item_name);
    return it == commands().end() ? nullptr : &it->second;
}

void register_builtin_windows() {
    using namespace picklists;
    add<TCategory_Pick_List>();
    add<TCarrier_Pick_List>();
    add<TItem_Pick_List>();
    add<TComment_Pick_List>();
    add<TContact_Name_Pick_List>();
    add<TComment_JS_Pick_List>();
    add<TCity>();
    add<TPosition_Code_Pick_List>();
    add<TPosition_Title_Pick_List>();
    add<TReason_Pick_List>();
    add<TSearch_Engines>();
    add<TConfiguration>();
    add<datastore::TCreate_Tables>();
    add<filters::Tfltr_pavoden2>();
    add<filters::Tfltr_jsearch>();
    add<jobsearch::TJob_Search_Report>();
    add<jobimport::Tjob_search_import_edits_form>();
    add<stats::Tstatistics_update>();
    add<stats::TJob_Search_Stats_Job_State>();
    add<stats::TJob_Search_Stats_Job_Title>();
    register_backup_commands();
}

}  // namespace pavo::app::shell
