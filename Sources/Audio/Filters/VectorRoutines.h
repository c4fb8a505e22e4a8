#pragma once

namespace tal {

struct CDCDAWCall;

// Element-wise routines on blocks of doubles with the calling form of the filter routines:
// N = the frame's count (nothing happens for N <= 0), k = the frame's real number, out = the
// first block argument, a, b, c, d = the second to fifth. An output may also be an input at the
// same index; the results do not depend on whether the blocks overlap. No routine table of the
// product lists them; they serve future signal-processing workspaces.
void DCDAW_vcopy(CDCDAWCall& call) noexcept;        // out = a
void DCDAW_vaddk(CDCDAWCall& call) noexcept;        // out = a + k
void DCDAW_vaddfirst(CDCDAWCall& call) noexcept;    // out += a[0]
void DCDAW_vadd2(CDCDAWCall& call) noexcept;        // out = a + b
void DCDAW_vacc(CDCDAWCall& call) noexcept;         // out += a
void DCDAW_vadd3(CDCDAWCall& call) noexcept;        // out = a + b + c
void DCDAW_vadd4(CDCDAWCall& call) noexcept;        // out = a + b + c + d
void DCDAW_vmuladdk(CDCDAWCall& call) noexcept;     // out = a k + b
void DCDAW_vaccmulk(CDCDAWCall& call) noexcept;     // out += a k
void DCDAW_vsub(CDCDAWCall& call) noexcept;         // out = a - b
void DCDAW_vmax2(CDCDAWCall& call) noexcept;        // out = max(a, b)
void DCDAW_vmaxacc(CDCDAWCall& call) noexcept;      // out = a where a > out
void DCDAW_vmax3(CDCDAWCall& call) noexcept;        // out = max(a, b, c)
void DCDAW_vmax4(CDCDAWCall& call) noexcept;        // out = max(a, b, c, d)
void DCDAW_vmin2(CDCDAWCall& call) noexcept;        // out = min(a, b)
void DCDAW_vmin3(CDCDAWCall& call) noexcept;        // out = min(a, b, c)
void DCDAW_vmin4(CDCDAWCall& call) noexcept;        // out = min(a, b, c, d)
void DCDAW_vxfadek(CDCDAWCall& call) noexcept;      // out = (a - b) k + b
void DCDAW_vmix2(CDCDAWCall& call) noexcept;        // out = a c[0] + b c[1]
void DCDAW_vxfade(CDCDAWCall& call) noexcept;       // out = (a - b) c + b
void DCDAW_vxfadescale(CDCDAWCall& call) noexcept;  // out = ((a - b) c + b) k
void DCDAW_vadd2scale(CDCDAWCall& call) noexcept;   // out = (a + b) k
void DCDAW_vadd3scale(CDCDAWCall& call) noexcept;   // out = (a + b + c) k
void DCDAW_vscale(CDCDAWCall& call) noexcept;       // out = a k
void DCDAW_vscaleacc(CDCDAWCall& call) noexcept;    // out = out k
void DCDAW_vmul(CDCDAWCall& call) noexcept;         // out = a b
void DCDAW_vmulacc(CDCDAWCall& call) noexcept;      // out = out a
void DCDAW_vmac(CDCDAWCall& call) noexcept;         // out += a b
void DCDAW_vdiv(CDCDAWCall& call) noexcept;         // out = a / b
void DCDAW_vabs(CDCDAWCall& call) noexcept;         // out = a with the sign bit cleared
void DCDAW_vsqrt(CDCDAWCall& call) noexcept;        // out = sqrt a
void DCDAW_vzero(CDCDAWCall& call) noexcept;        // out = 0
void DCDAW_vfillk(CDCDAWCall& call) noexcept;       // out = k
void DCDAW_vfillfirst(CDCDAWCall& call) noexcept;   // out = a[0]
void DCDAW_vclip(CDCDAWCall& call) noexcept;        // out = a limited to [-k, k]; NaN gives k

} // namespace tal
