// Replies of real phones and modems, as the line would bring them to this program. Where the
// source kept only LF as line end, CR LF is put back (the phone sent it; the log dropped the CR).
// The echo is that of the command as this program writes it, ending in CR LF (the sources wrote
// CR alone); the PDU prompt keeps its CR. A reply that the source gave without the CR LF a phone
// puts in front, or without its final OK, gets them. Each row names the model and the source.
#pragma once

namespace CorpusReplies {

struct TRow {
  const char* Name;
  const char* Model;
  const char* Source;
  const char* Raw;
  unsigned Size;  // the raw text may hold control bytes
};

inline const TRow Rows[] = {
    {"cgsn_huawei_k3715_fixture", "Huawei K3715 (profile of a real modem)",
     "faucamp/python-gsmmodem test/fakemodems.py (HuaweiK3715)", "\r\n111111111111111\r\nOK\r\n", 23},
    {"cpms_q_gnokii", "unknown (gnokii-smsd user)",
     "github.com/pkot/gnokii/issues/1 (gnokii debug log \"read : [...]\" line, length 0x37 confirmed)",
     "AT+CPMS?\r\n\r\n+CPMS: \"SM\",2,10,\"SM\",2,10,\"SM\",2,10\r\n\r\nOK\r\n", 56},
    {"cpms_q_huawei_dongle", "Huawei USB dongle (echo off)",
     "garronej/at-messages-parser src/test/test34.ts (test input)",
     "\r\n+CPMS: \"SM\",65,100,\"ME\",12,250,\"BM\",0,30\r\n\r\nOK\r\n", 50},
    {"cpbs_q_huawei_e173", "Huawei E173", "github.com/gammu/wammu/issues/44 (gammu debug log)",
     "AT+CPBS?\r\n\r\n+CPBS: \"ON\",0,1\r\n\r\nOK\r\n", 35},
    {"cpbr_samsung_cr_cr", "Samsung", "gammu/gammu tests/at-getmemory/samsung.dump",
     "AT+CPBR=241\r\n\r\n+CPBR: 241,\"\x0e"
     "\x04"
     "\n\xa1"
     "$_   \",129,\"O2 AsistZahr\",0\r\nOK\r\n",
     64},
    {"cpbr_ucs2_generic", "unknown phone (UCS2 charset)", "gammu/gammu tests/at-getmemory/ucs2.dump",
     "AT+CPBR=6\r\n\r\n+CPBR: 6,\"\",,\"005300740061006E006C006500790020005000610075006C\"\r\nOK\r\n", 82},
    {"cpbr_ucs2_nokia2730", "Nokia 2730", "gammu/gammu tests/at-getmemory/nokia-2730.dump",
     "AT+CPBR=16\r\n\r\n+CPBR: 16,\"\",,\"005300740065007600650020002000560069006E0073006F006E\",,,,,,,\r\nOK\r\n", 95},
    {"cpbr_ucs2_motorola", "Motorola (UCS2 charset)", "gammu/gammu tests/at-getmemory/ucs2-motorola.dump",
     "AT+CPBR=419\r\n\r\n+CPBR: 419,\"030450566735\",129,56697263686F77204B6C696E696B756D2053742E20333100\r\nOK\r\n",
     99},
    {"cpbr1_empty_ok_gtm382", "Option/Qualcomm GTM 382 (3G module)",
     "github.com/gammu/wammu/issues/27 (gammu debug log)", "AT+CPBR=1\r\n\r\nOK\r\n", 17},
    {"cpbr1_cme_error_22", "unknown (wammu user, Spanish locale)", "github.com/gammu/wammu/issues/40 (gammu debug log)",
     "AT+CPBR=1\r\n\r\n+CME ERROR: 22\r\n", 29},
    {"csca_q_1", "unknown (serial modem, Indosat SIM)", "github.com/gammu/gammu/issues/242 (gammu-smsd debug log)",
     "AT+CSCA?\r\n\r\n+CSCA: \"+62816124\",145\r\n\r\nOK\r\n", 42},
    {"csca_q_2", "unknown (Indonesian SIM)", "github.com/gammu/gammu/issues/312 (gammu-smsd debug log)",
     "AT+CSCA?\r\n\r\n+CSCA: \"+6289644000001\",145\r\n\r\nOK\r\n", 47},
    {"csca_q_huawei_k4510", "Huawei K4510", "github.com/gammu/gammu/issues/133 (gammu debug log)",
     "AT+CSCA?\r\n\r\n+CSCA: \"+32475161616\",145\r\n\r\nOK\r\n", 45},
    {"csca_q_plain", "unknown phone", "gammu/gammu tests/at-smsc/02.dump",
     "AT+CSCA?\r\n\r\n+CSCA: \"+79168999100\",145\r\nOK\r\n", 43},
    {"csca_q_no_plus_145", "unknown phone", "gammu/gammu tests/at-smsc/03.dump",
     "AT+CSCA?\r\n\r\n+CSCA: \"6281100000\",145\r\nOK\r\n", 41},
    {"csca_q_empty", "unknown phone", "gammu/gammu tests/at-smsc-failing/04.dump",
     "AT+CSCA?\r\n\r\n+CSCA: \"\",129\r\nOK\r\n", 31},
    {"csca_q_ucs2_quoted", "unknown phone (UCS2 charset)", "gammu/gammu tests/at-smsc/05.dump",
     "AT+CSCA?\r\n\r\n+CSCA: \"002B003400340037003800300032003000390032003000330035\",145\r\nOK\r\n", 83},
    {"csca_q_ucs2_unquoted", "unknown phone (UCS2 charset)", "gammu/gammu tests/at-smsc/01.dump",
     "AT+CSCA?\r\n\r\n+CSCA: 002B00390037003200350034003100320030003000330032,145\r\nOK\r\n", 77},
    {"csca_q_cms_error_330_fixture", "generic test modem", "faucamp/python-gsmmodem test/test_modem.py (test_smsc)",
     "\r\n+CMS ERROR: 330\r\n", 19},
    {"cmgs_prompt", "unknown (gammu-smsd user, Russian SIM)", "github.com/gammu/gammu/issues/61 (gammu-smsd debug log)",
     "AT+CMGS=10\r\r\n> ", 15},
    {"cmgs_result_tail", "unknown (serial modem, Indosat SIM)",
     "github.com/gammu/gammu/issues/242 (gammu-smsd debug log)",
     "432906CA683E574351B\x1a"
     "\r\n+CMGS: 73\r\n\r\nOK\r\n",
     39},
    {"cmgw_result_huawei_dongle", "Huawei USB dongle (echo off)",
     "garronej/at-messages-parser src/test/test35.ts (test input, modelled on dongle output)",
     "\r\n+CMGW: 35\r\n\r\nOK\r\n", 19},
    {"cms_cme_errors_huawei_dongle", "Huawei USB dongle (echo off)",
     "garronej/at-messages-parser src/test/test9.ts (test input)",
     "\r\n+CMS ERROR: 301\r\n\r\n+CME ERROR: 3\r\n\r\n+CMS ERROR: SMS service of ME reserved\r\n\r\n+CME ERROR: "
     "operation not allowed\r\n",
     115},
    {"cmgr34_cms_error_321", "unknown (gammu-smsd user)", "github.com/gammu/gammu/issues/89 (gammu-smsd debug log)",
     "AT+CMGR=34\r\n\r\n+CMS ERROR: 321\r\n", 31},
    {"cmgl4_huawei_e1752", "Huawei E1752 (USB modem)",
     "github.com/gammu/gammu/issues/126 (gammu-smsd debug log, RECEIVED frame hex dump)",
     "AT+CMGL=4\r\n\r\n+CMGL: 0,0,,23\r\n07913366003051F5040B913366304381F900005180719120348004D4F29C0E\r\n\r\nOK\r\n",
     99},
    {"cmgl_generic_modemmanager", "generic modem (Vodafone ES SIM)",
     "linux-mobile-broadband/ModemManager src/tests/test-modem-helpers.c (test_cmgl_response_generic_multiple)",
     "\r\n+CMGL: "
     "0,1,,"
     "147\r\n07914306073011F00405812261F700003130916191314095C274D96D2FBBD3E437280CB2BEC961F3DB5D76818EF2F0381D9E83E06F"
     "39A8CC2E9FD372F77BEE0249CBE37A594E0E83E2F532085E2F93CB73D0B93CA7A7DFEEB01C447F93DF7310BD3E07CDCB727B7A9C7ECF41E43"
     "2C8FC96B7C32079189E26874179D0F8DD7E93C3A0B21B246AA641D637396C7EBBCB22D0FD7E77B5D376B3AB3C07\r\n+CMGL: "
     "1,1,,"
     "147\r\n07914306073011F00405812261F700003130916191314095C274D96D2FBBD3E437280CB2BEC961F3DB5D76818EF2F0381D9E83E06F"
     "39A8CC2E9FD372F77BEE0249CBE37A594E0E83E2F532085E2F93CB73D0B93CA7A7DFEEB01C447F93DF7310BD3E07CDCB727B7A9C7ECF41E43"
     "2C8FC96B7C32079189E26874179D0F8DD7E93C3A0B21B246AA641D637396C7EBBCB22D0FD7E77B5D376B3AB3C07\r\n+CMGL: "
     "2,1,,"
     "147\r\n07914306073011F00405812261F700003130916191314095C274D96D2FBBD3E437280CB2BEC961F3DB5D76818EF2F0381D9E83E06F"
     "39A8CC2E9FD372F77BEE0249CBE37A594E0E83E2F532085E2F93CB73D0B93CA7A7DFEEB01C447F93DF7310BD3E07CDCB727B7A9C7ECF41E43"
     "2C8FC96B7C32079189E26874179D0F8DD7E93C3A0B21B246AA641D637396C7EBBCB22D0FD7E77B5D376B3AB3C07\r\n\r\nOK\r\n",
     995},
    {"cmgl_pantech_modemmanager", "Pantech (UML290-class) modem",
     "linux-mobile-broadband/ModemManager src/tests/test-modem-helpers.c (test_cmgl_response_pantech_multiple)",
     "\r\n+CMGL: "
     "17,3,35\r\n079100F40D1101000F001000B917118336058F300001954747A0E4ACF41F27298CDCE83C6EF371B0402814020\r\n+CMGL: "
     "15,3,35\r\n079100F40D1101000F001000B917118336058F300001954747A0E4ACF41F27298CDCE83C6EF371B0402814020\r\n+CMGL: "
     "13,3,35\r\n079100F40D1101000F001000B917118336058F300001954747A0E4ACF41F27298CDCE83C6EF371B0402814020\r\n+CMGL: "
     "11,3,35\r\n079100F40D1101000F001000B917118336058F300\r\n\r\nOK\r\n",
     388},
    {"cmgl4_pdu_fixture_pygsmmodem", "generic test modem (PDUs from a South African SIM)",
     "faucamp/python-gsmmodem test/test_modem.py (initFakeModemResponses, textMode=False)",
     "\r\n+CMGL: "
     "0,0,,35\r\n07917248014000F3240B917247587706F400003110824115248012C8329BFD06C9C373B8B82C97E741F034\r\n+CMGL: "
     "1,1,,"
     "161\r\n07917248010080F020109172480010359099990000312070101344809FCEF21D14769341E8B2BC0CA2BF41737A381F0211DFEE131D"
     "A4AECFE92079798C0ECBCF65D0B40A0D0E9141E9B1080ABBC9A073990ECABFEB7290BC3C4687E5E73219144ECBE9E976796594168BA06199C"
     "D1E82E86FD0B0CC660F41EDB47B0E3281A6CDE97C659497CB2072981E06D1DFA0FABC0C0ABBF3F474BBEC02514D4350180E67E75DA06199CD"
     "060D01\r\n+CMGL: "
     "2,1,,"
     "159\r\n07917248010080F0240B917248001064F30000312070604220809F537AD84D0ECBC92061D8BDD681B2EFBA1C141E8FDF75377D0E0A"
     "CBCB20F71BC47EBBCF6539C8981C0641E3771BCE4E87DD741708CA2E87E76590589E769F414922C80482CBDF6F33E86D06C9CBF334B9EC1E9"
     "741F43728ECCE83C4F2B07B8C06D1DF2079393CA6A7ED617A19947FD7E5A0F078FCAEBBE97317285A2FCBD3E5F90F04C3D96030D88C2693B9"
     "00\r\nOK\r\n",
     820},
};

}  // namespace CorpusReplies
