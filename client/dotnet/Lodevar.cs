// Lodevar.cs: the Lodevar client kit for .NET (C#, VB.NET, any CLR language), one file over
// lodevar_client.dll. Put the DLL of your program's bitness (x86 or x64) beside your program, add this
// file to it, and:
//
//   using (var client = new Lodevar.Client())
//   {
//       client.Register();
//       int result = client.PaperIn(false);                    // waits for the passbook
//       if (result == Lodevar.Status.Done)
//           result = client.Print(5, 10, Lodevar.Font.Godic, "입금 100,000");
//       Console.WriteLine("{0} {1} {2}", result, Lodevar.Status.Name(result), Lodevar.Status.Text(result));
//   }
//
// Results are the ints of lodevar_client.h: 1 done, the driver's status codes (0 .. 255, -1), the
// kit's own failures (below -1000). The texts the driver prints are code page 949: the wrapper
// converts every string for you. A Client belongs to the thread that made it; a window thread uses the
// ...Async methods, whose tasks end on that same thread while it goes on dispatching its messages.
using System;
using System.Runtime.InteropServices;
using System.Text;
using System.Threading.Tasks;

namespace Lodevar
{
    /// <summary>The results: the kit's own, and the driver's status codes. Each constant is the one of
    /// lodevar_client.h named beside it (the kit's tests hold them equal).</summary>
    public static class Status
    {
        public const int Done = 1; // LVC_DONE
        public const int NothingDone = 0; // LVC_NOTHING_DONE
        public const int Failed = -1; // LVC_FAILED
        public const int ErrorArgument = -1001; // LVC_E_ARGUMENT
        public const int ErrorNoDriver = -1002; // LVC_E_NO_DRIVER
        public const int ErrorNotRegistered = -1003; // LVC_E_NOT_REGISTERED
        public const int ErrorRefused = -1004; // LVC_E_REFUSED
        public const int ErrorTimeout = -1005; // LVC_E_TIMEOUT
        public const int ErrorSystem = -1006; // LVC_E_SYSTEM
        public const int ErrorQuit = -1007; // LVC_E_QUIT
        public const int ErrorBusy = -1008; // LVC_E_BUSY

        public const int ErrRowOver = 16; // LVC_ERR_ROWOVER
        public const int ErrDatOver = 18; // LVC_ERR_DATOVER
        public const int Cancelled = 27; // LVC_CANCELLED
        public const int ErrRcUnits = 33; // LVC_ERR_RCUNITS
        public const int ErrPgSense = 34; // LVC_ERR_PGSENSE
        public const int ErrCRibbon = 36; // LVC_ERR_CRIBBON
        public const int ErrColOver = 40; // LVC_ERR_COLOVER
        public const int ErrPaperJam = 49; // LVC_ERR_PAPERJM
        public const int ErrNoPaper = 50; // LVC_ERR_NOPAPER
        public const int ErrNoExist = 52; // LVC_ERR_NOEXIST
        public const int ErrCommand = 56; // LVC_ERR_COMMAND
        public const int BankTongjn = 65; // LVC_BANK_TONGJN
        public const int BankJunpyo = 66; // LVC_BANK_JUNPYO
        public const int BankChitIn = 67; // LVC_BANK_CHITIN
        public const int BankNormal = 80; // LVC_BANK_NORMAL
        public const int BankLastOk = 84; // LVC_BANK_LASTOK
        public const int BankActing = 85; // LVC_BANK_ACTING
        public const int ErrPapOver = 88; // LVC_ERR_PAPOVER
        public const int ErrRcvOver = 97; // LVC_ERR_RCVOVER
        public const int ErrMsrRdWr = 113; // LVC_ERR_MSRRDWR
        public const int ErrMsrRead = 114; // LVC_ERR_MSRREAD
        public const int ErrUFormat = 127; // LVC_ERR_UFORMAT
        public const int BankMsrNo = 133; // LVC_BANK_MSR_NO
        public const int BankMsrOk = 134; // LVC_BANK_MSR_OK
        public const int BankEndDetect = 135; // LVC_BANK_END_DETECT
        public const int ErrGarbage = 144; // LVC_ERR_GARBAGE
        public const int ErrUnknown = 241; // LVC_ERR_UNKNOWN
        public const int ErrPbprOff = 242; // LVC_ERR_PBPROFF

        /// <summary>The code's name ("ERR_PBPROFF", "DONE", "LVC_E_TIMEOUT", "UNKNOWN").</summary>
        public static string Name(int code)
        {
            return Utf8At(Native.lvc_status_name(code));
        }

        /// <summary>The code's text ("Response가 없다"), "" when it has none.</summary>
        public static string Text(int code)
        {
            return Utf8At(Native.lvc_status_text(code));
        }

        static string Utf8At(IntPtr text)
        {
            if (text == IntPtr.Zero)
                return "";
            int length = 0;
            while (Marshal.ReadByte(text, length) != 0)
                length++;
            var bytes = new byte[length];
            Marshal.Copy(text, bytes, 0, length);
            return Encoding.UTF8.GetString(bytes);
        }
    }

    /// <summary>The fonts of Print.</summary>
    public static class Font
    {
        public const char Godic = '1'; // LVC_FONT_GODIC
        public const char GodicEnlarged = '2'; // LVC_FONT_GODIC_ENLARGED
        public const char Myoungjo = '3'; // LVC_FONT_MYOUNGJO
        public const char MyoungjoEnlarged = '4'; // LVC_FONT_MYOUNGJO_ENLARGED
    }

    /// <summary>One client of the driver: its own hidden window, its gate once registered.</summary>
    public sealed class Client : IDisposable
    {
        IntPtr m_client;
        // Kept alive here: the DLL holds only its address.
        readonly Native.Completion m_completion;
        TaskCompletionSource<int> m_pending;

        /// <summary>Makes the client (lvc_open); throws when Windows refuses its window or event.</summary>
        public Client()
        {
            int result = Native.lvc_open(out m_client);
            if (result != Status.Done)
                throw new InvalidOperationException("lvc_open: " + Status.Name(result));
            m_completion = OnCompletion;
            Native.lvc_set_completion(m_client, IntPtr.Zero, 0, m_completion, IntPtr.Zero);
        }

        /// <summary>Releases the gate and frees the client (lvc_close).</summary>
        public void Dispose()
        {
            if (m_client != IntPtr.Zero)
            {
                Native.lvc_close(m_client);
                m_client = IntPtr.Zero;
            }
        }

        /// <summary>The code page of the driver's texts (Korean). .NET Core and .NET 5 and later know
        /// only the Unicode encodings until the code-page provider is registered; .NET Framework and
        /// Mono have it built in.</summary>
        public static Encoding Cp949
        {
            get
            {
                if (s_cp949 == null)
                {
#if NETCOREAPP
                    Encoding.RegisterProvider(CodePagesEncodingProvider.Instance);
#endif
                    s_cp949 = Encoding.GetEncoding(949);
                }
                return s_cp949;
            }
        }
        static Encoding s_cp949;

        /// <summary>The kit's version ("1.0.0").</summary>
        public static string Version
        {
            get
            {
                var text = new byte[32];
                Native.lvc_version(text, text.Length);
                return Encoding.ASCII.GetString(text, 0, Array.IndexOf(text, (byte)0));
            }
        }

        /// <summary>How long each request may take, in milliseconds (60000 unless set).</summary>
        public int SetTimeout(int milliseconds) { return Native.lvc_set_timeout(Handle, (uint)milliseconds); }
        public int OsError { get { return (int)Native.lvc_os_error(Handle); } }
        public int FindDriver() { return Native.lvc_find_driver(Handle); }
        public int Register() { return Native.lvc_register(Handle); }
        public int Release() { return Native.lvc_release(Handle); }
        public int Shutdown() { return Native.lvc_shutdown(Handle); }

        /// <summary>The driver's state as "key=value" lines; changes nothing in the driver.</summary>
        public int DriverInfo(out string info)
        {
            var text = new byte[16384];
            int result = Native.lvc_driver_info(Handle, text, text.Length);
            info = Utf8(text);
            return result;
        }

        /// <summary>Finds the driver, registers unless registered, asks its state, releases what it
        /// registered: 1 when the printer is open, 242 when it is not, or the failing step's code.</summary>
        public int CheckHealth(out string report)
        {
            var text = new byte[16384];
            int result = Native.lvc_check_health(Handle, text, text.Length);
            report = Utf8(text);
            return result;
        }

        public int PaperIn(bool chit) { return Native.lvc_paper_in(Handle, chit ? 1 : 0); }
        public int Print(int row, int column, char font, string text)
        {
            return Native.lvc_print(Handle, row, column, font, Bytes(text));
        }
        public int MsrWrite(string data) { return Native.lvc_msr_write(Handle, Bytes(data)); }
        public int MsrRead() { return Native.lvc_msr_read(Handle); }
        public int Eject() { return Native.lvc_eject(Handle); }
        public int Reset() { return Native.lvc_reset(Handle); }
        public int Pitch(int cpi, int lpi) { return Native.lvc_pitch(Handle, cpi, lpi); }
        public int Advise() { return Native.lvc_advise(Handle); }
        public int Unadvise() { return Native.lvc_unadvise(Handle); }

        /// <summary>Waits up to `milliseconds` for a passbook's stripe: 1 with the stripe, -1005 when
        /// none came (the driver's wait is ended then).</summary>
        public int ReadStripe(int milliseconds, out string stripe)
        {
            var data = new byte[Native.StripeBytes];
            int result = Native.lvc_read_stripe(Handle, (uint)milliseconds, data, data.Length);
            stripe = result == Status.Done ? Text949(data) : "";
            return result;
        }

        /// <summary>The stripe the last ReadStripe or ReadStripeAsync received.</summary>
        public string LastStripe
        {
            get
            {
                var data = new byte[Native.StripeBytes];
                return Native.lvc_last_stripe(Handle, data, data.Length) >= 0 ? Text949(data) : "";
            }
        }

        /// <summary>Dispatches the messages waiting for this thread (a console program that waits
        /// for an ...Async task calls this in its loop; a window thread's own loop does it).</summary>
        public int Pump() { return Native.lvc_pump(Handle); }

        // The asynchronous variants: each returns at once; the task ends with the request's result on
        // this client's thread, which must keep dispatching messages. One at a time per client.
        public Task<int> PaperInAsync(bool chit) { return Start(Native.lvc_paper_in_async(Handle, chit ? 1 : 0)); }
        public Task<int> PrintAsync(int row, int column, char font, string text)
        {
            return Start(Native.lvc_print_async(Handle, row, column, font, Bytes(text)));
        }
        public Task<int> MsrWriteAsync(string data) { return Start(Native.lvc_msr_write_async(Handle, Bytes(data))); }
        public Task<int> MsrReadAsync() { return Start(Native.lvc_msr_read_async(Handle)); }
        public Task<int> EjectAsync() { return Start(Native.lvc_eject_async(Handle)); }
        public Task<int> ResetAsync() { return Start(Native.lvc_reset_async(Handle)); }
        /// <summary>ReadStripe without the wait: when the task ends with 1, LastStripe holds it.</summary>
        public Task<int> ReadStripeAsync(int milliseconds)
        {
            return Start(Native.lvc_read_stripe_async(Handle, (uint)milliseconds));
        }

        Task<int> Start(int started)
        {
            var task = new TaskCompletionSource<int>();
            if (started != Status.Done)
                task.SetResult(started);
            else
                m_pending = task;
            return task.Task;
        }

        void OnCompletion(IntPtr client, int request, int result, IntPtr context)
        {
            TaskCompletionSource<int> task = m_pending;
            m_pending = null;
            if (task != null)
                task.SetResult(result);
        }

        IntPtr Handle
        {
            get
            {
                if (m_client == IntPtr.Zero)
                    throw new ObjectDisposedException("Lodevar.Client");
                return m_client;
            }
        }

        static byte[] Bytes(string text)
        {
            byte[] bytes = Cp949.GetBytes(text ?? "");
            Array.Resize(ref bytes, bytes.Length + 1); // the terminating zero
            return bytes;
        }

        static string Text949(byte[] data)
        {
            int length = Array.IndexOf(data, (byte)0);
            return Cp949.GetString(data, 0, length < 0 ? data.Length : length);
        }

        static string Utf8(byte[] data)
        {
            int length = Array.IndexOf(data, (byte)0);
            return Encoding.UTF8.GetString(data, 0, length < 0 ? data.Length : length);
        }
    }

    /// <summary>The DLL's functions as they are exported: __stdcall, plain names.</summary>
    public static class Native
    {
        const string Dll = "lodevar_client.dll";
        const CallingConvention Convention = CallingConvention.StdCall;
        public const int StripeBytes = 99;

        [UnmanagedFunctionPointer(CallingConvention.StdCall)]
        public delegate void Completion(IntPtr client, int request, int result, IntPtr context);

        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern IntPtr lvc_status_name(int code);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern IntPtr lvc_status_text(int code);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_version(byte[] text, int size);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_open(out IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern void lvc_close(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_set_timeout(IntPtr client, uint milliseconds);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern uint lvc_os_error(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_find_driver(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_register(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_release(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_shutdown(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_driver_info(IntPtr client, byte[] text, int size);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_check_health(IntPtr client, byte[] report, int size);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_paper_in(IntPtr client, int chit);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_print(IntPtr client, int row, int column, int font, byte[] text);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_msr_write(IntPtr client, byte[] data);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_msr_read(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_advise(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_unadvise(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_eject(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_reset(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_pitch(IntPtr client, int cpi, int lpi);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_read_stripe(IntPtr client, uint milliseconds, byte[] stripe, int size);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_last_stripe(IntPtr client, byte[] stripe, int size);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_pump(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_set_completion(IntPtr client, IntPtr window, uint message, Completion callback,
                                                    IntPtr context);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_paper_in_async(IntPtr client, int chit);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_print_async(IntPtr client, int row, int column, int font, byte[] text);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_msr_write_async(IntPtr client, byte[] data);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_msr_read_async(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_eject_async(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_reset_async(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_read_stripe_async(IntPtr client, uint milliseconds);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_async_pending(IntPtr client);
        [DllImport(Dll, CallingConvention = Convention, ExactSpelling = true)]
        public static extern int lvc_async_result(IntPtr client);
    }
}
