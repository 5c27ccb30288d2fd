// A banner of the collector's size: a painted caption and its hide timer.
object BenchStatus: TBenchStatus
  BorderStyle = bsSingle
  Caption = 'ABL 625 data transfer to Wardvorta'
  ClientHeight = 45
  ClientWidth = 688
  FormStyle = fsStayOnTop
  Position = poDesktopCenter
  object LblStatus: TBenchCaption
    Left = 0
    Top = 0
    Width = 688
    Height = 45
    Align = alClient
    Color = clAqua
    Font.Color = clOlive
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
  end
  object Timer1: TTimer
    Enabled = False
    Interval = 3000
  end
end
