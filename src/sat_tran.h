#ifndef ZEM_SAT_TRAN_H
#define ZEM_SAT_TRAN_H

#endif
