#include "core/globals.h"

namespace tavrin {

bool flotemode = false;
bool lintmode = false;
bool modularmode = false;
bool finf = false;
bool f256 = false;
bool f2t16 = false;
std::int32_t modulus = -1;
double rmodulus = -1.0;
bool smallmodulus = false;
std::int32_t half_modulus = 0;
std::int32_t two28_mod = 0;
bool mod_is_prime = false;
std::int16_t mod_is_changed = 0;
bool laurent = false;

polypt polynames = nullptr;
polypt pseudo_polynames = nullptr;
std::int32_t number_polys = 0;
char polyvar[max_polys][11] = {};
std::int16_t field_depth = 0;
bool modout_above_field = false;

bool pos_mod = true;
bool try_rat = false;
bool alt_form_display = true;
bool verbose = false;
bool windy = false;
std::int32_t warn_cnt = 0;
bool command_int = true;
bool danger_ok = false;
std::int32_t alg_c_count = 0;
std::int32_t original_depth = 1;
std::int32_t depthnum = 2;
std::int32_t massnum = 3;
std::int32_t deglist[151] = {};
bool extra_line = true;
std::int16_t dispcutoff = 76;
std::FILE* Output = stdout;

std::int16_t tripval = 20;
bool chinhensel = true;
bool hen_check = true;
bool rat_yes = false;
bool no_aux_primes2 = true;
std::int16_t aux_num_1factor = 400;
std::int16_t aux_num_2factor = 100;
std::int16_t lookupgcd = 0;
std::int32_t prev_modulus = -1;
std::int32_t polygcd_stack_depth = 0;
std::int32_t gcdmass = 0;
std::int32_t globalpoly = 0;
std::int16_t base_2_list[4] = {0, 3, 1, 2};
std::int16_t base_3_list[7] = {0, 4, 1, 3, 8, 5, 2};
std::int16_t base_7_list[21] = {0,  8,  1,  7,  16, 9,  2,  14, 3,  10, 22,
                                23, 17, 24, 32, 40, 31, 39, 48, 41, 26};
std::int32_t g_cutoff = 10;
std::int32_t c_cntcount = 0, a_cntcount = 0, d_cntcount = 0, g_cntcount = 0, c_cntdepth = 0;
std::int32_t a_cntdepth = 0, d_cntdepth = 0;
bool integerflag = false;
bool float_statement = false;
std::int32_t dummy = 0, ddummy = 0;

bool errorpush = false;
std::int32_t levelcount = 1;
std::int32_t statcount = 0;
std::int16_t dumpitt_level = 0;
std::int16_t dumpitt_length = 0;
std::int32_t suppressor = 1;

tokentipe token = {"", -1};
tokentipe blank = {" ", -1};
tokentipe quotsign = {"/", -1};
tokentipe factsign = {"!", -1};
tokentipe semicolon = {";", -1};
tokentipe multsign = {"*", -1};
tokentipe comma = {",", -1};
tokentipe empty = {"", -1};
tokentipe concatsign = {"_", -1};
tokentipe logsign = {"_", -1};
tokentipe sqrtsign = {"Sqrt", -1};
tokentipe expsign = {"^", -1};
tokentipe greatintsign = {"$", -1};
tokentipe quotesign = {"'", -1};
tokentipe bulletsign = {"#", -1};
tokentipe arr_arrsign = {"%", -1};
tokentipe diag_sign = {"Diag", -1};
tokentipe sys_func_tok = {"<F", -1};

number number_1 = {};
number number_m1 = {};
number tens_base = {};
number num_2_14 = {};
std::int32_t ones[32] = {};
double two_thirty1 = 2147483647.0;
double random_ext2 = 1.0;

number two_28[130] = {};
std::int32_t factnum[22] = {};
number facts[22] = {};
imptr binom[binom_entries + 1] = {};
imptr prime[prime_count + 1] = {};
number num_prod[599] = {};
std::int32_t invs_prod[598] = {};
std::int16_t small_prime[1230] = {};
data_fault data_file_faults[data_file_count] = {};

const char* data_file_name(data_file f) {
  static constexpr const char* names[data_file_count] = {
      "pow228", "primelist", "pprods", "bprimes", "lrgpmes", "f256d", "f2t16d", "Qerrs", "chdat"};
  return names[static_cast<int>(f)];
}
std::int32_t med_prime[2467] = {};
std::int32_t big_prime[1517] = {};
std::int32_t lrgpme[2001] = {};
std::int16_t global_list[151] = {};
imptr* auxptr = nullptr;
std::int16_t aux_prime1_number = 0;

std::int32_t numbersize = 32;
std::int32_t numnodesize = 8;
std::int32_t polynodesize = 16;
std::int32_t quolysize = 20;
std::int32_t size_data_strucs = 0;
std::int64_t initial_memory = 0;
std::int64_t virtual_cut = 0;

}  // namespace tavrin
