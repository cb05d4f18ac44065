// Definitions of the program-wide globals, in their fixed order of
// construction (destroyed in reverse at exit).
#include "GenH/hl_types.h"
#include "OGL/OGL_extensions.h"
#include "OGL/OGL_ren.h"
#include "OOPS_cpp/cmnd.h"
#include "OOPS_cpp/colr.h"
#include "OOPS_cpp/http.h"
#include "OOPS_cpp/keys.h"
#include "OOPS_cpp/oglp_text.h"
#include "OOPS_cpp/pref.h"
#include "OOPS_cpp/tman.h"
#include "OOPS_cpp/xcam.h"
#include "UTL/UTL_cmdline.h"
#include "UTL/UTL_time.h"

float wx = 0, wy = 0;
float wx1 = 0, wy1 = 0;
int scratch_dx = 0, scratch_dy = 0;
unsigned char scratch_array_storage[kScratchBytes + 15];
unsigned char* scratch_array = nullptr;
int app_done = 0;
int ogl_inited = 0;
int ot_inited = 0;
float lookup_sin[361], lookup_cos[361];
float randrat[10000];
std::string stl_global;
std::string app_path;
std::ofstream ouf;
std::ofstream xer;
int return_hit = 0, escape_hit = 0, delete_hit = 0;
int plot_init_lights = 0;
int active_popup_code = 0, select_popup_code = 0, popup_menu_select = 0;
stls_class stls;
std::vector<menu_struct> menu;
mnw_struct mnw{};
ren_struct ren;
stg_struct stg{};
xcam_class xcam;
tman_class tman;
xtim_class xtim;
int num_units = 1;
int g_case_sensitive = 1;
http_class http;
std::vector<std::string> gProxyExclude;
OGL_extensions glExt;
int linkey_shft = 0, linkey_ctrl = 0, linkey_optn = 0;
qtim_class qtim;
colr_class colr;
pref_class pref;
UTL_cmdline cmdline;
std::string dest_dir_path;
oglp_class oglp;
cmnd_class cmnd;
keys_class keys{};
