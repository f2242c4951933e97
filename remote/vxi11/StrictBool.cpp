#include "vxi11.h"

// The booleans of the calls: libtirpc's xdr_bool takes any nonzero word for
// true, where XDR's boolean is 0 or 1, so that another word makes the
// arguments garbage.
bool_t xdr_Strict_Bool(XDR* xdrs, Strict_Bool* value)
{
    u_int word = *value ? 1 : 0;
    if (!xdr_u_int(xdrs, &word) || word > 1)
        return FALSE;
    *value = static_cast<Strict_Bool>(word);
    return TRUE;
}
