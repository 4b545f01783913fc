#include "toplevel/state.h"

namespace tavrin {

// Start values are given by the start-up (set_language_defaults and the
// readers of the data directory); before it everything here is zero or nil
// except the prompt.

quoly sysnum = nullptr;
quoly prevnum = nullptr;
quoly quol_num_0 = nullptr;
bool time_to_quit = false;
bool syst_dump = false;
bool noisy = true;
bool uglyprint = false;
bool timerflag = false;
nameptr startexpr = nullptr;
nameptr prev_expr = nullptr;
std::int32_t matrix_eval = 0;
formptr sys_func = nullptr;
bool doing_sys_func = false;
bool want_sparse = false;
bool done_load = false, leave_flag = false, cycle_flag = false, exit_flag = false;
bool mod_mode_matrix_in_use = false;

std::uint32_t mytime[timing_rows][2] = {};
std::uint32_t time_off[timing_rows][2] = {};
std::int32_t time_level = 1;

char prompt[11] = ">";
std::int16_t promptsize = 1;
char eprompt[11] = ":";
std::string blankone = " ";
std::string input_file_name;
std::string output_file_name;
TextInput* inpuf = nullptr;
TextInput* file_being_read = nullptr;

std::int32_t mincutoff = 0;
bool chpoly_block = false;
std::int32_t endarr = 0;
std::int32_t limit_char_arrays = 0;
std::int32_t addresser = 0;
std::int32_t m_interrupt = 0;
bool mod_matrix_ok = false;
bool do_line_sup = false;
bool was_in_rat = false;
std::int32_t array_time = 0;
std::int32_t uninit = 0;
bool new_array = false;
bool nomodpolyreadin = false;
bool diskstore = false;
bool monomial_list = false;
bool close_inpuf = false;
std::int32_t was_modulus = 0;
std::int32_t sqrt_mod = 0;
std::int32_t numblocks = 0;
std::int32_t gauss_cutoff = 0;
std::int32_t minorprime = 0;
std::int32_t init_max_stash = 0;
std::int32_t init_min_stash = 0;
std::int32_t wanthalf = 0;
std::int32_t lagrange_stash = 0;
std::int32_t mod_matrix_size = 0;
std::int32_t disp_size = 0;
number disp_cons = {};
std::int32_t cmd_modder = 32;
number rand_denom_n = {};

varptr sca_store[sca_buckets] = {};
arrptr arr_store[arr_buckets] = {};
storeptr arp[arp_pages] = {};
funcptr func_store[func_buckets] = {};
arrptr* arrstash = nullptr;
statptr lastf = nullptr;
polypt dodo = nullptr;
sortrec* sortp = nullptr;
sparseptr spsort[spsort_frames] = {};
bool using_spsort = false;

arrptr syst = nullptr;
workptr syst_stash = nullptr;
arrptr duparr = nullptr;
workptr dupptr = nullptr;
workptr mod_mode_matrix = nullptr;
std::int32_t* clc = nullptr;
std::int32_t* clr = nullptr;
std::int32_t* clc_min = nullptr;
quoly* clbest = nullptr;
poly poly_1 = nullptr;

polypt old_polynames = nullptr;
bool using_new_polynames = false;
bool char2_degs1 = true;
bool aux1_hit_0 = false;
bool changed_in_modmode = false;
std::int32_t badcnt = 0;

quoly pol[pol_rows][pol_rows] = {};
quoly denom[denom_count + 1] = {};
bool need_to_set_char_poly = false;

}  // namespace tavrin
