// Compiled with one layer's view of the tree: includes the one header that the
// layer test names, which the build must find or refuse as the layers say.
#include VEXOR_INCLUDED
