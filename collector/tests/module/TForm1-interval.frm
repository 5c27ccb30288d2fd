// A main window whose timer has an interval no timer takes.
object Form1: TForm1
  Caption = 'ABL Data Input Module'
  object Timer1: TTimer
    Interval = -500
    OnTimer = Timer1Timer
  end
end
