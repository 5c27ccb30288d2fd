// A window with a caption label stored as the collector's banners store theirs,
// and a second one with shading settings of its own.
object CapTestWindow: TCapTestWindow
  Caption = 'Caption label'
  ClientWidth = 400
  ClientHeight = 45
  object LblStatus: TCapLabel
    Left = 0
    Top = 0
    Width = 400
    Height = 45
    Align = alClient
    Caption = 'Smith & Jones'
    Color = clAqua
    ColorScheme = csCustom
    CustomSettings.HighlightColor = clYellow
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clOlive
    Font.Height = -19
    Font.Name = 'MS Sans Serif'
    Font.Style = []
    ParentColor = False
    ParentFont = False
    Transparent = False
    OnClick = LblStatusClick
  end
  object LblDeep: TCapLabel
    Left = 10
    Top = 50
    Width = 100
    Height = 30
    Alignment = taCenter
    CustomSettings.ShadowDepth = 4
    CustomSettings.ShadowStyle = ssGraduated
    Visible = False
  end
end
