// Sample.cs: a small console teller session in C# on Lodevar.cs and lodevar_client.dll: the health
// check, a passbook taken in, two lines printed (one Korean), the stripe read, the eject. Build it with
// the wrapper, for example with Mono's compiler:
//   mcs -out:LodevarSample.exe client/dotnet/Lodevar.cs client/dotnet/Sample.cs
// or in a .NET project holding both files; lodevar_client.dll of the program's bitness goes beside it.
using System;

static class Sample
{
    static int Show(string step, int result)
    {
        Console.WriteLine("{0,-20} {1,5}  {2,-16} {3}", step, result, Lodevar.Status.Name(result),
                          Lodevar.Status.Text(result));
        return result;
    }

    static int Main()
    {
        Console.OutputEncoding = System.Text.Encoding.UTF8;
        Console.WriteLine("kit {0}", Lodevar.Client.Version);
        using (var client = new Lodevar.Client())
        {
            string report;
            Show("health", client.CheckHealth(out report));
            Console.Write(report);
            client.SetTimeout(30000); // a paper-in waits until the teller puts the passbook in
            int result = Show("register", client.Register());
            if (result == Lodevar.Status.Done)
                result = Show("paper in", client.PaperIn(false));
            if (result == Lodevar.Status.Done)
                result = Show("print row 3", client.Print(3, 2, Lodevar.Font.Godic, "2026-12-06  DEPOSIT  150,000"));
            if (result == Lodevar.Status.Done)
                result = Show("print row 4", client.Print(4, 2, Lodevar.Font.Myoungjo, "2026-12-06  급여 입금"));
            if (result == Lodevar.Status.Done)
            {
                string stripe;
                Show("stripe", client.ReadStripe(10000, out stripe));
                Console.WriteLine("stripe [{0}]", stripe);
                result = Show("eject", client.Eject());
            }
            return result == Lodevar.Status.Done ? 0 : 1;
        }
    }
}
